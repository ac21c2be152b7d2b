#include "text/next_field.h"

#include <gtest/gtest.h>

namespace kq {
namespace {

struct FieldCase {
  const char* source;
  const char* separator;
  QuoteMode mode;
  bool ok;
  const char* token;
  const char* rest;  // checked only when ok
};

class NextFieldCases : public ::testing::TestWithParam<FieldCase> {};

TEST_P(NextFieldCases, SplitsAsSpecified) {
  const FieldCase& c = GetParam();
  std::string source = c.source;
  std::string token = "stale";
  EXPECT_EQ(NextField(source, token, c.separator, c.mode), c.ok) << c.source;
  if (c.ok) {
    EXPECT_EQ(token, c.token) << c.source;
    EXPECT_EQ(source, c.rest) << c.source;
  }
}

constexpr QuoteMode K = QuoteMode::kKeep;
constexpr QuoteMode R = QuoteMode::kRemove;

INSTANTIATE_TEST_SUITE_P(
    Fields, NextFieldCases,
    ::testing::Values(
        FieldCase{"", ",", R, true, "", ""},
        FieldCase{" \t\r\n ", ",", K, true, "", ""},
        FieldCase{"a , b", ",", R, true, "a", "b"},
        FieldCase{"a , b , c", ",", K, true, "a", "b , c"},
        FieldCase{"\"a,b\",c", ",", R, true, "a,b", "c"},
        FieldCase{"\"a,b\",c", ",", K, true, "\"a,b\"", "c"},
        FieldCase{"\"a\"\"b\"", ",", R, true, "a\"b", ""},
        FieldCase{"x\"y\"", ",", R, false, "", ""},
        FieldCase{"\"y\"x", ",", R, false, "", ""},
        FieldCase{"\"open", ",", R, false, "", ""},
        FieldCase{"\"open", ",", K, false, "", ""},
        FieldCase{"\"", ",", R, false, "", ""},
        FieldCase{"abc\"", " ", K, false, "", ""},
        FieldCase{"PROP=\"a b\" /qn REBOOT=S", " ", K, true, "PROP=\"a b\"", "/qn REBOOT=S"},
        FieldCase{"/i   pkg.msi", " ", K, true, "/i", "pkg.msi"},
        FieldCase{"one", ",", R, true, "one", ""},
        FieldCase{",b", ",", R, true, "", "b"},
        FieldCase{"a|b", "|", R, true, "a", "b"},
        // Default separator when none is given.
        FieldCase{"a,b", nullptr, R, true, "a", "b"},
        // In remove mode a blank between the closing quote and the separator is
        // unquoted text after a quoted one, so the field is refused.
        FieldCase{"\"a b\" ,c", ",", R, false, "", ""},
        FieldCase{"\" a \"", ",", R, true, "a", ""},
        FieldCase{"a,  ", ",", R, true, "a", ""}),
    [](const ::testing::TestParamInfo<FieldCase>& param) { return "Case" + std::to_string(param.index); });

TEST(NextField, ConsumesAListFieldByField) {
  std::string source = "A, \"B,1\",C";
  std::string token;
  std::vector<std::string> fields;
  while (!source.empty()) {
    ASSERT_TRUE(NextField(source, token, ",", QuoteMode::kRemove));
    fields.push_back(token);
  }
  EXPECT_EQ(fields, (std::vector<std::string>{"A", "B,1", "C"}));
}

TEST(NextField, TrimBlanksHandlesAllBlankKinds) {
  std::string s = "\t\v\f x y \r\n";
  TrimBlanks(s);
  EXPECT_EQ(s, "x y");
  std::string empty = " \t ";
  TrimBlanks(empty);
  EXPECT_EQ(empty, "");
}

}  // namespace
}  // namespace kq
