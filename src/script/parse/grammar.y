/* The Tambrel grammar: 53 productions, numbered in the order they stand here (bison numbers its own
   accept rule 0), and the actions that build the definition tree. Bison turns it into the LALR(1)
   tables through table_skeleton.m4; driver.cpp walks them.

   The cells of the expression symbols carry in Code how many operators their tree nests (0 for a
   number or a name): the compiler walks expression trees recursively, so a tree that nests more
   than MaxExpressionDepth operators is refused (Deeper).

   Ownership on the value stack: a cell's Node belongs to the cell. An action takes what it keeps
   with Take(), which clears the cell; whatever is left in the cells of a reduced right-hand side is
   destroyed by the driver, so a node is never owned twice, also when an action throws. */

%skeleton "./table_skeleton.m4"
%define lr.default-reduction consistent
%define api.value.type {tambrel::parse::TSemantic}
%expect 0

%code requires {
#include <cstddef>
#include <cstdint>
#include <vector>

#include "script/parse/tables.h"
#include "script/parse/tree_actions.h"
}

%token <Code> NUMBER 257
%token <Node> IDENTIFIER 258
%token CONST 259 LOOP 260 INCLUDE 262 BADNUMBER 263
%token EQ 264 NEQ 265 LT 266 LE 267 GE 268 GT 269
%token PLUS 270 MINUS 271 MULT 272 DIV 273 MOD 274 NOT 275 OR 276 XOR 277 AND 278

%type <Node> tambrel block_opt statement_list statement action argument_list_opt argument_list
%type <Node> procedure parameter_list_opt parameter_list loop step_opt constant include
%type <Node> expression simple_expression term factor
%type <Code> relational_operator adding_operator multiplying_operator

%start tambrel

%%

file_marker
    : %empty                                            /* 1 */
        { TakeMainFileName(); }
    ;

tambrel
    : file_marker statement_list                        /* 2 */
        { SetParseResult(Take($2)); $$ = nullptr; }
    ;

block_opt
    : %empty                                            /* 3 */
        { $$ = nullptr; }
    | '(' statement_list ')'                            /* 4 */
        { $$ = Take($2); }
    ;

statement_list
    : statement_list statement                          /* 5 */
        { $$ = Take($1); $<Tail>$ = AppendToChain($$, $<Tail>1, Take($2)); }
    | statement                                         /* 6 */
        { $$ = Take($1); $<Tail>$ = $$; }
    ;

statement
    : action ';'                                        /* 7 */
        { $$ = Take($1); }
    | procedure ';'                                     /* 8 */
        { $$ = Take($1); }
    | loop ';'                                          /* 9 */
        { $$ = Take($1); }
    | constant ';'                                      /* 10 */
        { $$ = Take($1); }
    | include ';'                                       /* 11 */
        { $$ = Take($1); OpenIncludeFile($$); }
    | error ';'                                         /* 12 */
        { $$ = nullptr; }
    ;

action
    : expression IDENTIFIER argument_list_opt           /* 13 */
        { $$ = NewAction(Take($1), Take($2), Take($3)); }
    ;

argument_list_opt
    : %empty                                            /* 14 */
        { $$ = nullptr; }
    | '(' argument_list ')'                             /* 15 */
        { $$ = Take($2); }
    ;

argument_list
    : argument_list ',' expression                      /* 16 */
        { $$ = Take($1); $<Tail>$ = AppendToChain($$, $<Tail>1, Take($3)); }
    | expression                                        /* 17 */
        { $$ = Take($1); $<Tail>$ = $$; }
    ;

procedure
    : IDENTIFIER parameter_list_opt ';' block_opt       /* 18 */
        { $$ = NewProcedure(Take($1), Take($2), Take($4)); }
    ;

parameter_list_opt
    : %empty                                            /* 19 */
        { $$ = nullptr; }
    | '(' parameter_list ')'                            /* 20 */
        { $$ = Take($2); }
    ;

parameter_list
    : parameter_list ',' IDENTIFIER                     /* 21 */
        { $$ = Take($1); $<Tail>$ = AppendToChain($$, $<Tail>1, Take($3)); }
    | IDENTIFIER                                        /* 22 */
        { $$ = Take($1); $<Tail>$ = $$; }
    ;

loop
    : LOOP '(' IDENTIFIER ',' expression ',' expression step_opt ')' ';' block_opt   /* 23 */
        { $$ = NewLoop(Take($3), Take($5), Take($7), Take($8), Take($11)); }
    ;

step_opt
    : %empty                                            /* 24 */
        { $$ = nullptr; }
    | ',' expression                                    /* 25 */
        { $$ = Take($2); }
    ;

constant
    : CONST IDENTIFIER EQ expression                    /* 26 */
        { $$ = NewConstant(Take($2), Take($4)); }
    ;

include
    : INCLUDE IDENTIFIER                                /* 27 */
        { $$ = NewInclude(Take($2)); }
    ;

expression
    : simple_expression                                 /* 28 */
        { $$ = Take($1); $<Code>$ = $<Code>1; }
    | simple_expression relational_operator simple_expression   /* 29 */
        { $<Code>$ = Deeper($<Code>1, $<Code>3); $$ = NewBinary($2, Take($1), Take($3)); }
    ;

simple_expression
    : term                                              /* 30 */
        { $$ = Take($1); $<Code>$ = $<Code>1; }
    | PLUS term                                         /* 31 */
        { $<Code>$ = Deeper($<Code>2, 0); $$ = NewUnary(UnaryPlus, Take($2)); }
    | MINUS term                                        /* 32 */
        { $<Code>$ = Deeper($<Code>2, 0); $$ = NewUnary(UnaryMinus, Take($2)); }
    | simple_expression adding_operator term            /* 33 */
        { $<Code>$ = Deeper($<Code>1, $<Code>3); $$ = NewBinary($2, Take($1), Take($3)); }
    ;

term
    : factor                                            /* 34 */
        { $$ = Take($1); $<Code>$ = $<Code>1; }
    | term multiplying_operator factor                  /* 35 */
        { $<Code>$ = Deeper($<Code>1, $<Code>3); $$ = NewBinary($2, Take($1), Take($3)); }
    ;

factor
    : NUMBER                                            /* 36 */
        { $$ = NewNumber($1); $<Code>$ = 0; }
    | IDENTIFIER                                        /* 37 */
        { $$ = NewVariable(Take($1)); $<Code>$ = 0; }
    | '(' expression ')'                                /* 38 */
        { $$ = Take($2); $<Code>$ = $<Code>2; }
    | NOT factor                                        /* 39 */
        { $<Code>$ = Deeper($<Code>2, 0); $$ = NewUnary(UnaryNot, Take($2)); }
    ;

relational_operator
    : EQ        { $$ = OpEq; }                          /* 40 */
    | NEQ       { $$ = OpNeq; }                         /* 41 */
    | LT        { $$ = OpLt; }                          /* 42 */
    | LE        { $$ = OpLe; }                          /* 43 */
    | GE        { $$ = OpGe; }                          /* 44 */
    | GT        { $$ = OpGt; }                          /* 45 */
    ;

adding_operator
    : PLUS      { $$ = OpPlus; }                        /* 46 */
    | MINUS     { $$ = OpMinus; }                       /* 47 */
    | OR        { $$ = OpOr; }                          /* 48 */
    | XOR       { $$ = OpXor; }                         /* 49 */
    ;

multiplying_operator
    : MULT      { $$ = OpMult; }                        /* 50 */
    | DIV       { $$ = OpDiv; }                         /* 51 */
    | MOD       { $$ = OpMod; }                         /* 52 */
    | AND       { $$ = OpAnd; }                         /* 53 */
    ;

%%
