#include "scripting/script_var_list.h"

#include <gtest/gtest.h>

#include "scripting/filter_program.h"
#include "scripting/script_host.h"

namespace quorvel {
namespace {

std::vector<QString> Names(std::initializer_list<const char16_t*> names) {
  std::vector<QString> out;
  for (const char16_t* n : names) out.push_back(QString::fromUtf16(n));
  return out;
}

TEST(IsIdentChar, AcceptsOnlyAsciiLettersDigitsAndUnderscore) {
  for (QChar c : u"_09azAZ"_qs) EXPECT_TRUE(IsIdentChar(c)) << int(c.unicode());
  for (QChar c : u"$ è=+-.([ \t"_qs) EXPECT_FALSE(IsIdentChar(c)) << int(c.unicode());
}

TEST(CollectAssignedNames, FindsTheNameBeforeEveryEqualsSign) {
  struct Case {
    const char16_t* text;
    std::vector<QString> names;
  };
  const Case cases[] = {
      {u"", {}},
      {u"=1", {}},
      {u"y = a*x", Names({u"y"})},
      {u"x += 1", Names({u"x"})},
      {u"if (a == b) c=1", Names({u"a", u"c"})},
      {u"k[i]=0", Names({u"i"})},
      {u"p >= 3", Names({u"p"})},
      {u"5=1", Names({u"5"})},
      {u"// old=1\r\ns = 'q=2'", Names({u"old", u"q", u"s"})},
      {u"vo=vi\r\n", Names({u"vo"})},
      {u"vo = 1; Vo = 2; Z = 3; a = 4", Names({u"Vo", u"Z", u"a", u"vo"})},
      {u"città=1", Names({u"citt"})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(QString::fromUtf16(c.text).toStdString());
    ScriptVarList list;
    CollectAssignedNames(QString::fromUtf16(c.text), list);
    EXPECT_EQ(list.names, c.names);
    EXPECT_EQ(list.values.size(), list.names.size());
    for (const QString& v : list.values) EXPECT_EQ(v, u"0"_qs);
  }
}

TEST(CollectAssignedNames, SetsANameAlreadyListedBackToZero) {
  ScriptVarList list;
  SetVar(list, u"a"_qs, u"3,5"_qs);
  CollectAssignedNames(u"a == b"_qs, list);
  ASSERT_EQ(list.count(), 1);
  EXPECT_EQ(list.values[0], u"0"_qs);
}

TEST(SetVar, KeepsNamesSortedByCodeUnitAndUpdatesInPlace) {
  ScriptVarList list;
  for (const char16_t* n : {u"m", u"b", u"z", u"a", u"Z", u"c", u"m", u"_"}) {
    SetVar(list, QString::fromUtf16(n), QString::fromUtf16(n));
  }
  EXPECT_EQ(list.names, Names({u"Z", u"_", u"a", u"b", u"c", u"m", u"z"}));
  EXPECT_EQ(list.values, Names({u"Z", u"_", u"a", u"b", u"c", u"m", u"z"}));
  for (int i = 0; i < list.count(); ++i) EXPECT_EQ(FindVar(list, list.names[size_t(i)]), i);
  EXPECT_EQ(FindVar(list, u"y"_qs), -1);
  EXPECT_EQ(FindVar(list, u"A"_qs), -1);
  EXPECT_EQ(FindVar(ScriptVarList{}, u"a"_qs), -1);
}

TEST(ListItemsToArray, CopiesItemsButLeavesTheArrayAloneWhenThereAreNone) {
  QStringList array{u"old"_qs};
  ListItemsToArray({}, array);
  EXPECT_EQ(array, QStringList{u"old"_qs});
  ListItemsToArray({u"k 50% [0;2]"_qs, u"g 0% [1;3]"_qs}, array);
  EXPECT_EQ(array, (QStringList{u"k 50% [0;2]"_qs, u"g 0% [1;3]"_qs}));
}

class VarValuesTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(host_.LoadCode(PreludeText()).ok()); }
  ScriptValue Eval(const QString& text) {
    auto r = host_.Evaluate(text);
    EXPECT_TRUE(r.ok()) << text.toStdString();
    return r.ok() ? *r : ScriptValue();
  }
  ScriptHost host_;
};

TEST_F(VarValuesTest, TheFirstRestoreDefinesEveryDiscoveredNameAsZero) {
  ScriptVarList list;
  CollectAssignedNames(u"y1 = y1 + vi; 5 = 2"_qs, list);
  ReadVarValues(list, host_);  // y1 is not known yet and keeps "0"; "5" reads as a literal
  EXPECT_EQ(list.names, Names({u"5", u"y1"}));
  EXPECT_EQ(list.values, Names({u"5", u"0"}));
  WriteVarValues(list, host_);  // "5=0" fails and is skipped
  EXPECT_EQ(Eval(u"y1"_qs).number(), 0);
}

TEST_F(VarValuesTest, SaveAndRestoreRoundNumbersTo15DigitsWithTheDecimalComma) {
  ScriptVarList list;
  CollectAssignedNames(u"x = 1; big = 1; tiny = 1"_qs, list);
  Eval(u"x = 1/3; big = 123456789012345678; tiny = 1.5e-7"_qs);
  ReadVarValues(list, host_);
  EXPECT_EQ(list.names, Names({u"big", u"tiny", u"x"}));
  EXPECT_EQ(list.values[2], u"0,333333333333333"_qs);
  Eval(u"x = 5; big = 0; tiny = 0"_qs);
  WriteVarValues(list, host_);
  EXPECT_EQ(Eval(u"x"_qs).number(), 0.333333333333333);
  EXPECT_EQ(Eval(u"big"_qs).number(), 123456789012346000.0);
  EXPECT_EQ(Eval(u"tiny"_qs).number(), 1.5e-7);
}

TEST_F(VarValuesTest, BooleansAndStringsComeBackExactly) {
  // A Schmitt trigger keeps a boolean; a rejected attempt must not leave its change behind.
  ScriptVarList list;
  CollectAssignedNames(u"high = false; label = ''"_qs, list);
  Eval(u"high = true; label = 'a,b \"c\" \\\\ \\n è'"_qs);
  const QString label = Eval(u"label"_qs).text();
  ReadVarValues(list, host_);
  Eval(u"high = false; label = 'changed'"_qs);
  WriteVarValues(list, host_);
  EXPECT_EQ(Eval(u"high"_qs).kind(), ScriptValue::Kind::Boolean);
  EXPECT_TRUE(Eval(u"high"_qs).boolean());
  EXPECT_EQ(Eval(u"label"_qs).text(), label);
}

TEST_F(VarValuesTest, ObjectsAndFunctionsAreNeitherSavedNorClobbered) {
  ScriptVarList list;
  CollectAssignedNames(u"buf = 0; f = 0"_qs, list);
  Eval(u"buf = [1, 2]; f = function(){ return 7 }"_qs);
  ReadVarValues(list, host_);
  Eval(u"buf.push(3)"_qs);
  WriteVarValues(list, host_);
  // Not undone (the change stays), but not destroyed either.
  EXPECT_EQ(Eval(u"buf.length"_qs).number(), 3);
  EXPECT_EQ(Eval(u"f()"_qs).number(), 7);
}

TEST_F(VarValuesTest, NonFiniteNumbersAreSkippedOnRestore) {
  ScriptVarList list;
  CollectAssignedNames(u"q = 0"_qs, list);
  Eval(u"q = 1/0"_qs);
  ReadVarValues(list, host_);
  Eval(u"q = 4"_qs);
  WriteVarValues(list, host_);
  EXPECT_EQ(Eval(u"q"_qs).number(), 4);
}

TEST_F(VarValuesTest, NamesDifferingInCaseAreTwoVariables) {
  ScriptVarList list;
  CollectAssignedNames(u"vo = 1; Vo = 2"_qs, list);
  Eval(u"vo = 1; Vo = 2"_qs);
  ReadVarValues(list, host_);
  EXPECT_EQ(list.names, Names({u"Vo", u"vo"}));
  EXPECT_EQ(list.values, Names({u"2", u"1"}));
}

TEST_F(VarValuesTest, ModOverwritesAUserVariableNamedR) {
  Eval(u"r = 10"_qs);
  Eval(u"mod(7, 2)"_qs);
  EXPECT_EQ(Eval(u"r"_qs).number(), 3.5);
}

}  // namespace
}  // namespace quorvel
