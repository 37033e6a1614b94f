#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include "compiler_fixture.h"

namespace tambrel {
namespace {

// Dump lines written "level text; level text; ...": the indent pairs, capped at 128, the text and CR LF.
std::string Lines(const std::string& entries) {
  std::string text;
  std::istringstream in(entries);
  for (std::string entry; std::getline(in >> std::ws, entry, ';');) {
    const size_t space = entry.find(' ');
    for (int i = 0; i < std::min(std::stoi(entry), 128); ++i) text += "| ";
    text += entry.substr(space + 1) + "\r\n";
  }
  return text;
}

// Folded operands vanish, parameters show their declaration, loops and unary operators their parts.
TEST(Dump, DefinitionsShowTheirPartsAndFoldedOnesTheirValue) {
  // p(x); ( 2 * 3 + x out(1, 1); ); const k = 4; loop(i, 0, k); ( +i out(1, not k, <operator 7> i); );
  auto* loop = Loop("i", Num(0), Var("k"), nullptr,
                    Act(new TUnaryExpr(uoPlus, Var("i")), "out",
                        {Num(1), new TUnaryExpr(uoNot, Var("k")), new TUnaryExpr(7, Var("i"))}));
  Compiled c(
      Defs({Proc("p", "x", Act(Bin(boPlus, Bin(boMult, Num(2), Num(3)), Var("x")), "out", {Num(1), Num(1)})),
            new TConstDef("k", Num(4)), loop}));
  ASSERT_EQ(c.Run(), 0);
  const std::string dump = c.Dump();
  EXPECT_TRUE(dump.starts_with(
      Lines("0 TTambrel( song.tmb); 1 Definitions =; 2 TProcDef( p); 3 Params =; 4 TId( x); "
            "3 Definitions =; 4 TAction( out); 5 Time =; 6 TBinaryExpr; 7 BinOp = '+'; 7 Left =; "
            "8 TBinaryExpr; 9 constant = 6; 9 BinOp = '*'; 7 Right =; 8 TVarExpr; 9 TId( x); "
            "10 Resolver =; 11 TId( x); 5 Resolver =; 6 TProcDef( Out); 5 Args =; 6 TConstExpr; "
            "7 constant = 1; 6 TConstExpr; 7 constant = 1; 2 TConstDef( k)")))
      << dump;
  EXPECT_TRUE(dump.ends_with(Lines(
      "2 TLoopDef( <loop>); 3 Definitions =; 4 TAction( out); 5 Time =; 6 TUnaryExpr; "
      "7 UnUp = '+'; 7 Expr =; 8 TVarExpr; 9 TId( i); 10 Resolver =; 11 TId( i); "
      "5 Resolver =; 6 TProcDef( Out); 5 Args =; 6 TConstExpr; 7 constant = 1; 6 TUnaryExpr; "
      "7 constant = -5; 7 UnUp = '!'; 6 TUnaryExpr; 7 UnUp = '<unhandled>'; 7 Expr =; "
      "8 TVarExpr; 9 TId( i); 10 Resolver =; 11 TId( i); 3 LoopVar =; 4 TId( i); "
      "3 StartExpr =; 4 TConstExpr; 5 constant = 0; 3 EndExpr =; 4 TVarExpr; 5 constant = 4; "
      "5 Resolver =; 6 TConstDef( k); 6 constant = 4; 3 IncrOption = 1; 2 TProcDef( Out); 2 TProcDef( Nop)")))
      << dump;
  // The unhandled operator code is reported at every pass and spoils that argument only.
  EXPECT_EQ(c.Messages.size(), 10u);
}

}  // namespace
}  // namespace tambrel
