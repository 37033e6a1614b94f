#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <vector>
#include "compiler/body_index.h"
#include "compiler_fixture.h"

namespace tambrel {
namespace {

using ::testing::StrEq;
using ::testing::ThrowsMessage;

int32_t EvalConst(TExpr* e) {
  Compiled c(new TConstDef("k", e));
  EXPECT_EQ(c.Run(), 0);
  return c.Root->Definitions->Value;
}

TEST(Expressions, OperatorTable) {
  EXPECT_EQ(EvalConst(Bin(boDiv, Num(7), Num(2))), 3);
  EXPECT_EQ(EvalConst(Bin(boDiv, Num(-7), Num(2))), -3);
  EXPECT_EQ(EvalConst(Bin(boMod, Num(-7), Num(2))), -1);
  EXPECT_EQ(EvalConst(Bin(boMod, Num(7), Num(-2))), 1);
  EXPECT_EQ(EvalConst(new TUnaryExpr(uoNot, Num(0))), -1);
  EXPECT_EQ(EvalConst(new TUnaryExpr(uoNot, Bin(boEq, Num(1), Num(1)))), -2);
  EXPECT_EQ(EvalConst(Bin(boMult, Bin(boLt, Num(3), Num(5)), Num(10))), 10);
  EXPECT_EQ(EvalConst(Bin(boMult, Bin(boLt, Num(5), Num(3)), Num(10))), 0);
  EXPECT_EQ(EvalConst(Bin(boGe, Num(-1), Num(0))), 0);
  EXPECT_EQ(EvalConst(Bin(boXor, Num(6), Num(3))), 5);
}

TEST(Expressions, DeepestExpressionTheParserBuildsResolvesPlaysDumpsAndFrees) {
  // p(x); ( 0 out(1, x + x + ... + x); ) with 4000 operators, left-nested as the parser builds them.
  TExpr* sum = Var("x");
  for (int i = 0; i < 4000; ++i) sum = Bin(boPlus, sum, Var("x"));
  Compiled c(Defs({Proc("p", "x", Act(Num(0), "out", {Num(1), sum})), Act(Num(0), "p", {Num(1)})}));
  ASSERT_EQ(c.Run(), 0);
  EXPECT_EQ(BytesAt(*c.Root, 0), std::vector<int>{4001 & 255});
  // The deep entries are indented by 128 pairs, no more.
  const std::string dump = c.Dump();
  std::string capped;
  for (int i = 0; i < 128; ++i) capped += "| ";
  EXPECT_GT(dump.size(), 4000u * 128u);
  EXPECT_NE(dump.find("\n" + capped + "T"), std::string::npos);
  EXPECT_EQ(dump.find(capped + "| "), std::string::npos);
}

// A long list is searched through an index while it resolves; it must find what walking a short list
// finds: the first declaration, names alike in ASCII case only, nothing before a constant's statement
// or inside its own expression, and names used inside a procedure that live at the top level.
TEST(Scopes, LongListsResolveAsShortOnesDo) {
  auto run = [](int32_t padding, bool withFaults) {
    // 0 later; const Delay = 5; const DELAY = 6; const top = 9; later; ( 0 out(1, delay, dElAy, top); );
    // [0 out(2, m); const m = 1; const z = z + 1; const \xE4 = 1; 0 out(3, \xC4);] (Latin-1 a and A with
    // diaeresis) and `padding` constants around them.
    std::vector<TDefinition*> items;
    for (int32_t i = 0; i < padding; ++i) items.push_back(new TConstDef("pad" + std::to_string(i), Num(i)));
    items.insert(items.end(), {Act(Num(0), "later"), new TConstDef("Delay", Num(5)),
                               new TConstDef("DELAY", Num(6)), new TConstDef("top", Num(9)),
                               Proc("later", nullptr,
                                    Act(Num(0), "out", {Num(1), Var("delay"), Var("dElAy"), Var("TOP")}))});
    if (withFaults)
      items.insert(items.end(), {Act(Num(0), "out", {Num(2), Var("m")}), new TConstDef("m", Num(1)),
                                 new TConstDef("z", Bin(boPlus, Var("z"), Num(1))),
                                 new TConstDef("\xE4", Num(1)), Act(Num(0), "out", {Num(3), Var("\xC4")})});
    for (int32_t i = 0; i < padding; ++i) items.push_back(new TConstDef("tail" + std::to_string(i), Num(i)));
    for (size_t i = 1; i < items.size(); ++i) AppendToList(items[0], items[i]);
    auto c = std::make_unique<Compiled>(items[0]);
    c->Run();
    return c;
  };
  const auto played = run(0, false);
  ASSERT_EQ(played->Result, 0);
  EXPECT_EQ(BytesAt(*played->Root, 0), (std::vector<int>{5, 5, 9}));
  const auto walked = run(0, true);
  EXPECT_EQ(walked->Result, 1);
  EXPECT_EQ(walked->Messages,
            (std::vector<std::string>{Unplaced("Undefined 'm'"), Unplaced("Undefined 'z'"),
                                      Unplaced("Undefined '\xC4'"),
                                      "[0,0] in file \"song.tmb\": \"Could not resolve all references.\""}));
  for (const int32_t padding : {TBodyIndex::MinMembers, 100}) {
    EXPECT_EQ(run(padding, true)->Messages, walked->Messages) << padding;  // the last one tells the result
    const auto indexed = run(padding, false);
    ASSERT_EQ(indexed->Result, 0) << padding;
    EXPECT_EQ(BytesAt(*indexed->Root, 0), BytesAt(*played->Root, 0)) << padding;
  }
}

TEST(Procedures, CallsBindArgumentsAndReportCountMismatch) {
  auto* chord = Proc("chord", "n",
                     Defs({Act(Num(0), "out", {Num(1), Num(144), Var("n")}),
                           Act(Num(500), "out", {Num(1), Num(128), Var("n")})}));
  Compiled c(Defs({chord, Act(Num(1000), "chord", {Num(60)}), Act(Num(2000), "chord", {Num(62)}),
                   Act(Num(3000), "chord")}));
  ASSERT_EQ(c.Run(), 0);
  EXPECT_EQ(c.Items(), (std::vector<std::string>{"00000:01.000  00001 90 3C", "00000:01.500  00001 80 3C",
                                                 "00000:02.000  00001 90 3E", "00000:02.500  00001 80 3E",
                                                 "00000:03.000  00001 90 3E", "00000:03.500  00001 80 3E",
                                                 "00000:03.500  End marker"}));
  EXPECT_EQ(c.Messages, std::vector<std::string>{
                            Unplaced("Procedure has 1 parameters, but was called with 0 arguments")});
}

// The caps end a runaway compile like an overflow, naming their limit, with nothing left generated.
TEST(Mends, CapsOnItemsAndStepsEndTheCompileNamingTheLimit) {
  // p0; ( 0 p1; 0 p1; ); ... p40; ( 0 nop; ); 0 p0;  - 2^41 calls that make no item.
  TDefinition* tree = Proc("p40", nullptr, Act(Num(0), "nop"));
  for (int k = 39; k >= 0; --k) {
    const std::string callee = "p" + std::to_string(k + 1);
    AppendToList(tree, Proc("p" + std::to_string(k), nullptr,
                            Defs({Act(Num(0), callee.c_str()), Act(Num(0), callee.c_str())})));
  }
  AppendToList(tree, Act(Num(0), "p0"));
  const std::pair<TDefinition*, const char*> cases[] = {
      {Loop("i", Num(0), Num(99999999), nullptr, Act(Var("i"), "out", {Num(1), Num(2)})),
       "Too many items: one compile may generate at most 1000 timed items"},
      {Loop("i", Num(0), Num(2147483647), nullptr, Act(Num(0), "nop")),
       "Too much work: one compile may expand at most 5000 statements and loop passes"},
      {tree, "Too much work: one compile may expand at most 5000 statements and loop passes"},
  };
  for (const auto& [script, text] : cases) {
    Compiled compiled(script);
    compiled.Root->MaxItems = 1000;
    compiled.Root->MaxSteps = 5000;
    EXPECT_THAT([&] { compiled.Run(); }, ThrowsMessage<std::length_error>(StrEq(text)));
    EXPECT_EQ(compiled.Root->Batch->Count(), 0);
  }
}

// Nodes keep their file's name as a shared handle: equal texts must give one copy, also when files are
// opened from several threads at once, and a node without a position reads the empty name.
TEST(SourceNames, EqualTextsShareOneCopyFromAnyThread) {
  const TSourceName song("song.tmb");
  EXPECT_EQ(&TSourceName(std::string("song.tmb")).str(), &song.str());
  EXPECT_FALSE(song == TSourceName("inc.tmb"));
  EXPECT_EQ(TSourceName(), TSourceName(""));
  EXPECT_STREQ(TSourceName().c_str(), "");
  EXPECT_EQ(TConstExpr(1).FileName, "");

  std::vector<const std::string*> seen(8 * 100);
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([t, &seen] {
      for (int i = 0; i < 100; ++i) seen[t * 100 + i] = &TSourceName("file" + std::to_string(i % 10)).str();
    });
  for (std::thread& thread : threads) thread.join();
  for (size_t k = 0; k < seen.size(); ++k) {
    ASSERT_EQ(seen[k], &TSourceName("file" + std::to_string(k % 100 % 10)).str()) << k;
    ASSERT_EQ(*seen[k], "file" + std::to_string(k % 100 % 10));
  }
}

}  // namespace
}  // namespace tambrel
