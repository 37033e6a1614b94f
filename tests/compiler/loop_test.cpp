#include <gtest/gtest.h>

#include "compiler_fixture.h"

namespace tambrel {
namespace {

TEST(Loops, BoundsStepsAndTheirMessages) {
  struct TCase {
    TExpr *First, *Last, *Step;
    std::vector<uint32_t> Times;
    const char* Message;  // none when empty
  };
  const TCase cases[] = {
      {Num(1), Num(1), nullptr, {1}, ""},
      {Num(0), Num(9), Num(4), {0, 4, 8}, ""},
      {Num(5), Num(1), nullptr, {}, "Start expression > end expression, loop expansion skipped"},
      // The step is tested before the bounds: a zero step over backward bounds reports the step alone.
      {Num(5), Num(1), Num(0), {}, "Increment expression (0) <= 0, loop expansion skipped"},
      {Num(1), Num(10), Num(-3), {}, "Increment expression (-3) <= 0, loop expansion skipped"},
      // A bound of 1 / 0 fails its fold at resolution (two messages), then again at expansion.
      {Bin(boDiv, Num(1), Num(0)), Num(3), nullptr, {}, "Bad start expression, can't be evaluated"},
      {Num(0), Bin(boDiv, Num(1), Num(0)), nullptr, {}, "Bad end expression, can't be evaluated"},
      {Num(0), Num(3), Bin(boMod, Num(1), Num(0)), {}, "Bad increment expression, can't be evaluated"},
  };
  for (const TCase& c : cases) {
    std::vector<std::string> messages;
    if (c.Message[0] == 'B')
      for (int fold = 0; fold < 2; ++fold)
        messages.insert(messages.end(), {Unplaced("Division by 0"), Unplaced("Bad parameter(s) for binop")});
    if (*c.Message) messages.push_back(Unplaced(c.Message));
    // loop(i, first, last[, step]); ( i out(1, i); ): the values of i it played, and its messages.
    Compiled loop(Loop("i", c.First, c.Last, c.Step, Act(Var("i"), "out", {Num(1), Var("i")})));
    EXPECT_EQ(loop.Run(), 0);
    std::vector<uint32_t> times;
    for (int32_t k = 0; k + 1 < loop.Root->Batch->Count(); ++k)
      times.push_back(loop.Root->Batch->Items(k)->Time);
    EXPECT_EQ(times, c.Times) << c.Message;
    EXPECT_EQ(loop.Messages, messages);
  }
}

TEST(Loops, UndefinedStartStopsTheLoopBeforeItsBody) {
  // loop(i, missing, 3); ( 0 nowhere; );  - only the start is reported, the body is never resolved.
  auto* start = Var("Missing");
  Compiled c(Loop("i", start, Num(3), nullptr, Act(Num(0), "nowhere")));
  EXPECT_EQ(c.Run(), 1);
  EXPECT_EQ(c.Messages,
            (std::vector<std::string>{Unplaced("Undefined 'Missing'"),
                                      "[0,0] in file \"song.tmb\": \"Could not resolve all references.\""}));
  EXPECT_EQ(c.Root->Batch->Count(), 0);
}

TEST(Loops, VariableHidesOuterNamesAndKeepsItsLastValue) {
  // const i = 100; loop(I, 0, i + 2); ( i out(1, i); ); 500 out(2, i);
  auto* loop =
      Loop("I", Num(0), Bin(boPlus, Var("i"), Num(2)), nullptr, Act(Var("i"), "out", {Num(1), Var("i")}));
  Compiled c(Defs({new TConstDef("i", Num(100)), loop, Act(Num(500), "out", {Num(2), Var("i")})}));
  ASSERT_EQ(c.Run(), 0);
  // The end expression sees the loop variable (0 before the first pass), so the loop runs 0..2.
  // Outside the loop the constant again.
  EXPECT_EQ(c.Items(), (std::vector<std::string>{"00000:00.000  00001 00", "00000:00.001  00001 01",
                                                 "00000:00.002  00001 02", "00000:00.500  00002 64",
                                                 "00000:00.500  End marker"}));
  EXPECT_EQ(loop->LoopVar->Value, 2);
}

TEST(Loops, ProcedureAndLoopInALoopBodyPlayOnEveryPass) {
  // loop(i, 0, 1); ( p; ( 10 out(1, i); ); loop(j, 0, 1); ( i * 1000 + j * 100 out(1, 2); ); );  - nested
  // procedures play at the loop's base time, nested loops in order.
  auto* inner = Loop("j", Num(0), Num(1), nullptr,
                     Act(Bin(boPlus, Bin(boMult, Var("i"), Num(1000)), Bin(boMult, Var("j"), Num(100))),
                         "out", {Num(1), Num(2)}));
  Compiled c(Loop("i", Num(0), Num(1), nullptr,
                  Defs({Proc("p", nullptr, Act(Num(10), "out", {Num(1), Var("i")})), inner})));
  ASSERT_EQ(c.Run(), 0);
  EXPECT_EQ(c.Items(), (std::vector<std::string>{"00000:00.010  00001 00", "00000:00.000  00001 02",
                                                 "00000:00.100  00001 02", "00000:00.010  00001 01",
                                                 "00000:01.000  00001 02", "00000:01.100  00001 02",
                                                 "00000:01.100  End marker"}));

  // In a procedure body (not a loop) a nested procedure plays only when called.
  auto* quiet = Proc("q", nullptr, Proc("inner", nullptr, Act(Num(0), "out", {Num(1), Num(1)})));
  Compiled d(Defs({quiet, Act(Num(0), "q")}));
  ASSERT_EQ(d.Run(), 0);
  EXPECT_EQ(d.Root->Batch->Count(), 1);
}

}  // namespace
}  // namespace tambrel
