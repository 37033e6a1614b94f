#include <gtest/gtest.h>

#include "compiler_fixture.h"
#include "support/runtime_errors.h"

namespace tambrel {
namespace {

TEST(Output, BytesAreTheLowEightBitsAfterTheDeviceAndFewerThanTwoValuesGiveANop) {
  // 0 out(3); 0 out; 100 out(1, 144, 60, 100); 200 Out(-7, 300, -1, 256); 1000 nop; 1500 NOP(1, 2);
  Compiled c(Defs({Act(Num(0), "out", {Num(3)}), Act(Num(0), "out"),
                   Act(Num(100), "out", {Num(1), Num(144), Num(60), Num(100)}),
                   Act(Num(200), "Out", {Num(-7), Num(300), Num(-1), Num(256)}), Act(Num(1000), "nop"),
                   Act(Num(1500), "NOP", {Num(1), Num(2)})}));
  ASSERT_EQ(c.Run(), 0);
  // The device is the whole value, not a byte. Two nops; nop calls generate nothing, so the timeline
  // ends with the last data.
  EXPECT_EQ(c.Items(),
            (std::vector<std::string>{"00000:00.000", "00000:00.000", "00000:00.100  00001 90 3C 64",
                                      "00000:00.200  -00007 2C FF 00", "00000:00.200  End marker"}));
  EXPECT_EQ(c.Messages, std::vector<std::string>{
                            Unplaced("Procedure has 0 parameters, but was called with 2 arguments")});
}

TEST(Output, NegativeTimesAreSkippedWithTheirValue) {
  // -5 out(1, 2); and, unfolded, loop(i, 0, 1); ( (i - 1) * 10 out(1, i); ); (only i = 1 plays)
  auto* loop = Loop("i", Num(0), Num(1), nullptr,
                    Act(Bin(boMult, Bin(boMinus, Var("i"), Num(1)), Num(10)), "out", {Num(1), Var("i")}));
  Compiled c(Defs({Act(new TUnaryExpr(uoMinus, Num(5)), "out", {Num(1), Num(2)}), loop}));
  ASSERT_EQ(c.Run(), 0);
  EXPECT_EQ(c.Messages, (std::vector<std::string>{Unplaced("Action time (-5) must be >= 0"),
                                                  Unplaced("Action time (-10) must be >= 0")}));
  EXPECT_EQ(c.Items(), (std::vector<std::string>{"00000:00.000  00001 01", "00000:00.000  End marker"}));
}

TEST(Output, DataItemLimitEndsTheCompileAtOneArgumentTooMany) {
  // The device and then 32768 bytes fill one data item exactly; one more value cannot be held.
  for (const int32_t values : {32769, 32770}) {
    TExpr* head = Num(1);
    TDefinition* tail = head;
    for (int32_t i = 1; i < values; ++i) {
      TExpr* next = Num(i);
      tail->Next = next;
      next->Prev = tail;
      tail = next;
    }
    Compiled c(new TAction(Num(10), std::string("out"), head));
    if (values == 32769) {
      ASSERT_EQ(c.Run(), 0);
      const std::vector<int> bytes = BytesAt(*c.Root, 0);
      EXPECT_EQ(bytes.size(), 32768u);
      EXPECT_EQ(bytes.back(), 32768 & 255);
    } else {
      EXPECT_THROW(c.Run(), ERangeError);
      EXPECT_EQ(c.Root->Batch->Count(), 0);
    }
  }
}

TEST(Output, UserProcedureNamedOutIsBoundButNeverCalled) {
  // Out(a); ( 0 out(9, a); ); 100 out(1, 2); 200 OUT(5);  - the first Out in list order is the user's.
  auto* user = Proc("Out", "a", Act(Num(0), "out", {Num(9), Var("a")}));
  auto* data = Act(Num(100), "out", {Num(1), Num(2)});
  auto* nop = Act(Num(200), "OUT", {Num(5)});
  Compiled c(Defs({user, data, nop}));
  ASSERT_EQ(c.Run(), 0);
  EXPECT_EQ(data->Resolver, user);
  EXPECT_EQ(nop->Resolver, user);
  EXPECT_TRUE(c.Messages.empty());  // the one-parameter Out was never bound to five or one values
  EXPECT_EQ(c.Items(),
            (std::vector<std::string>{"00000:00.100  00001 02", "00000:00.200", "00000:00.200  End marker"}));
}

TEST(Procedures, TimesAddUpAlongCallsAndOverflowPastFourGigaseconds) {
  // inner; ( 0 out(1, 1); ); outer; ( 200 inner; ); 1000 outer;
  Compiled c(Defs({Proc("inner", nullptr, Act(Num(0), "out", {Num(1), Num(1)})),
                   Proc("outer", nullptr, Act(Num(200), "inner")), Act(Num(1000), "outer")}));
  ASSERT_EQ(c.Run(), 0);
  EXPECT_EQ(c.Root->Batch->Items(0)->Time, 1200u);

  // 2147483647 a; with a calling b at 2147483647 and b playing at 2: the unsigned sum wraps.
  Compiled o(Defs({Proc("b", nullptr, Act(Num(2), "out", {Num(1), Num(1)})),
                   Proc("a", nullptr, Act(Num(2147483647), "b")), Act(Num(2147483647), "a")}));
  EXPECT_THROW(o.Run(), EIntOverflow);
  // A time past 2147483647 fits the sum but not the timeline: LastTime refuses it.
  Compiled r(Defs({Proc("b", nullptr, Act(Num(1), "out", {Num(1), Num(1)})), Act(Num(2147483647), "b")}));
  EXPECT_THROW(r.Run(), ERangeError);
  EXPECT_EQ(o.Root->Batch->Count() + r.Root->Batch->Count(), 0);
}

// The parameter hides the constant n of the top level.
TEST(Procedures, ConstantFromAParameterIsZeroAndAProcedureNameReadsZero) {
  // const n = 5; p(n); ( const c = n + 1; 0 out(1, c, N, p); ); 0 p(41);
  auto* body = Defs({new TConstDef("c", Bin(boPlus, Var("n"), Num(1))),
                     Act(Num(0), "out", {Num(1), Var("c"), Var("N"), Var("p")})});
  Compiled c(Defs({new TConstDef("n", Num(5)), Proc("p", "n", body), Act(Num(0), "p", {Num(41)})}));
  ASSERT_EQ(c.Run(), 0);
  EXPECT_EQ(BytesAt(*c.Root, 0), (std::vector<int>{1, 41, 0}));
  EXPECT_TRUE(c.Messages.empty());
}

TEST(Messages, EachCarriesThePositionOfItsDefinition) {
  // chord(n); ( -1 out(1, n); );  10 chord;  20 out(1, 1 + (2 / 0));  - each node at its own line
  auto* chord = Proc("chord", "n", At(Act(Num(-1), "out", {Num(1), Var("n")}), 2, 5, "inc.tmb"));
  TExpr* sum = At(Bin(boPlus, Num(1), At(Bin(boDiv, Num(2), At(Num(0), 5, 18)), 5, 16)), 5, 12);
  Compiled c(
      Defs({At(chord, 1, 1), At(Act(Num(10), "chord"), 4, 1), At(Act(Num(20), "out", {Num(1), sum}), 5, 1)}));
  ASSERT_EQ(c.Run(), 0);
  // The failed fold at resolution reports the inner pair; expansion the inner pair and the outer.
  const std::vector<std::string> expected = {
      "[5,18] in file \"song.tmb\": \"Division by 0\"",
      "[5,16] in file \"song.tmb\": \"Bad parameter(s) for binop\"",
      "[1,1] in file \"song.tmb\": \"Procedure has 1 parameters, but was called with 0 arguments\"",
      "[2,5] in file \"inc.tmb\": \"Action time (-1) must be >= 0\"",  // the body still expands
      "[5,18] in file \"song.tmb\": \"Division by 0\"",
      "[5,16] in file \"song.tmb\": \"Bad parameter(s) for binop\"",
      "[5,12] in file \"song.tmb\": \"Bad parameter(s) for binop\"",
      "[5,12] in file \"song.tmb\": \"Bad argument, can't be evaluated\""};
  EXPECT_EQ(c.Messages, expected);
  EXPECT_EQ(c.Root->Batch->Count(), 1);
}

}  // namespace
}  // namespace tambrel
