#include <gtest/gtest.h>

#include <stdexcept>
#include <tuple>
#include "compiler/expansion.h"
#include "compiler_fixture.h"
#include "player/play_clock.h"
#include "player/player.h"
#include "support/runtime_errors.h"

namespace tambrel {
namespace {

// const step = 250; loop(i, 0, 3); ( i * step out(1, 144, 60 + i, 100); );
TDefinition* FourNotes() {
  return Defs({new TConstDef("step", Num(250)),
               Loop("i", Num(0), Num(3), nullptr,
                    Act(Bin(boMult, Var("i"), Var("step")), "out",
                        {Num(1), Num(144), Bin(boPlus, Num(60), Var("i")), Num(100)}))});
}

TEST(Root, ItemsGoToThePlayerAndAreWithdrawnBeforeTheyAreFreed) {
  TPlayer player;
  // Failed resolution: the player is remembered but receives nothing. An action naming a constant
  // fails without a message of its own.
  Compiled bad(Defs({new TConstDef("k", Num(1)), Act(Num(0), "k")}));
  EXPECT_EQ(bad.Root->Compile(&player, ""), 1);
  EXPECT_EQ(bad.Messages,
            std::vector<std::string>{"[0,0] in file \"song.tmb\": \"Could not resolve all references.\""});
  EXPECT_EQ(bad.Root->Player, &player);
  EXPECT_EQ(player.ItemCount() + bad.Root->Batch->Count(), 0);

  Compiled c(FourNotes());
  ASSERT_EQ(c.Root->Compile(&player, ""), 0);
  EXPECT_EQ(player.ItemCount(), 5);
  ASSERT_EQ(c.Root->Compile(&player, ""), 0);  // a recompile replaces, never doubles
  EXPECT_EQ(player.ItemCount(), 5);
  EXPECT_EQ(player.Batch().Items(4), c.Root->Batch->Items(4));  // the end marker, last of its time
}

// The player only borrows the roots' items: whichever goes first, nothing is freed twice or used after
// it went (AddressSanitizer), and a root outliving its player does not reach back into it.
TEST(Root, PlayerAndLoadedRootsGoInEitherOrder) {
  for (const bool playerFirst : {true, false}) {
    auto player = std::make_unique<TPlayer>(std::make_unique<TSimulatedPlayClock>());
    auto first = std::make_unique<Compiled>(FourNotes());
    auto second = std::make_unique<Compiled>(FourNotes(), "other.tmb");
    ASSERT_EQ(first->Root->Compile(player.get(), ""), 0);
    ASSERT_EQ(second->Root->Compile(player.get(), ""), 0);
    player->SetEnabled(true);  // playing, a clone of the next item pending
    if (playerFirst) {
      player.reset();
      EXPECT_EQ(first->Items().size(), 5u);
      EXPECT_EQ(first->Items(), second->Items());
    } else {
      first.reset();  // takes its items back from the player
      EXPECT_EQ(player->ItemCount(), 5);
      second.reset();
      EXPECT_EQ(player->ItemCount(), 0);
    }
  }
}

// Overflow in a fold, at expansion and in a loop's counter ends the compile with nothing generated.
TEST(Root, OverflowsReachNeitherPlayerNorBatch) {
  TPlayer player;
  TDefinition* const scripts[] = {
      new TConstDef("k", Bin(boPlus, Num(2147483647), Num(1))),
      new TConstDef("k", Bin(boDiv, Num(INT32_MIN), Num(-1))),
      // p(x); ( 0 out(1, -x); ); 0 p(-2147483648);
      Defs({Proc("p", "x", Act(Num(0), "out", {Num(1), new TUnaryExpr(uoMinus, Var("x"))})),
            Act(Num(0), "p", {Num(INT32_MIN)})}),
      // loop(i, 2147483646, 2147483647); ( 0 out(1, i); ): both passes run, then the counter overflows.
      Loop("i", Num(2147483646), Num(2147483647), nullptr, Act(Num(0), "out", {Num(1), Var("i")}))};
  for (TDefinition* script : scripts) {
    Compiled c(script);
    EXPECT_THROW(c.Root->Compile(&player, ""), EIntOverflow);
    EXPECT_EQ(player.ItemCount() + c.Root->Batch->Count(), 0);
  }
  // The default cap is what the mend asks for: tens of millions.
  EXPECT_GE(TExpansion::DefaultMaxItems, 10000000);
  EXPECT_LE(TExpansion::DefaultMaxItems, 99999999);
}

TEST(Root, RecursionThroughOthersStopsAtTheCallAndDeepChainsStillPlay) {
  TPlayer player;  // outlives the root, which withdraws from it when destroyed
  // a; ( 0 out(1, 1); 10 b; ); b; ( 10 a; ); 0 a;
  Compiled c(Defs({Proc("a", nullptr, Defs({Act(Num(0), "out", {Num(1), Num(1)}), Act(Num(10), "b")})),
                   Proc("b", nullptr, At(Act(Num(10), "a"), 2, 7)), Act(Num(0), "a")}));
  EXPECT_EQ(c.Root->Compile(&player, ""), 1);
  ASSERT_EQ(c.Messages.size(), 1u);
  EXPECT_TRUE(c.Messages[0].starts_with(
      "[2,7] in file \"song.tmb\": \"Calls nested deeper than 1000 levels at the call of 'a'"))
      << c.Messages[0];
  EXPECT_EQ(player.ItemCount() + c.Root->Batch->Count(), 0);

  // p0 calls p1 ... calls p899, which plays: 900 levels are a legitimate script.
  const int depth = 900;
  TDefinition* list = Proc("p" + std::to_string(depth - 1), nullptr, Act(Num(1), "out", {Num(1), Num(1)}));
  for (int k = depth - 2; k >= 0; --k)
    AppendToList(list,
                 Proc("p" + std::to_string(k), nullptr, Act(Num(1), ("p" + std::to_string(k + 1)).c_str())));
  AppendToList(list, Act(Num(0), "p0"));
  Compiled deep(list);
  ASSERT_EQ(deep.Run(), 0);
  EXPECT_EQ(deep.Items(), (std::vector<std::string>{"00000:00.900  00001 01", "00000:00.900  End marker"}));
}

TEST(Root, EventsAreHandledTwiceAndANestedCompileIsRefused) {
  int calls = 0;
  bool running = false, refused = false;
  Compiled other(Act(Num(0), "out", {Num(1), Num(1)}));
  TTambrel::SetProcessEventsHook([&] {
    ++calls;
    running = TTambrel::CompileRunning();
    try {
      other.Run();
    } catch (const std::logic_error&) {
      refused = true;
    }
  });
  Compiled c(FourNotes());
  const int32_t result = c.Run();
  TTambrel::SetProcessEventsHook(nullptr);
  EXPECT_EQ(
      std::tuple(result, calls, running, refused, other.Root->Batch->Count(), TTambrel::CompileRunning()),
      std::tuple(0, 2, true, true, 0, false));
  EXPECT_EQ(other.Run(), 0);  // and allowed again afterwards
}

}  // namespace
}  // namespace tambrel
