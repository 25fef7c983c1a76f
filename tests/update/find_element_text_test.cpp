#include <gtest/gtest.h>

#include "update/version_check.h"

namespace auralith::update {
namespace {

const QString kName = QStringLiteral("Program_Version");

TEST(FindElementText, LastElementOfTheNameWins) {
  EXPECT_EQ(
      FindElementText("<r><Program_Version>1.0</Program_Version><x/><Program_Version>2.0</Program_Version></r>", kName),
      "2.0");
}

TEST(FindElementText, NameMatchesExactly) {
  EXPECT_EQ(FindElementText("<r><program_version>9</program_version></r>", kName), "");
  EXPECT_EQ(FindElementText("<r><p:Program_Version xmlns:p=\"urn:x\">3</p:Program_Version></r>", kName), "3");
}

TEST(FindElementText, EmptyElementGivesEmptyEvenAfterOtherText) {
  EXPECT_EQ(FindElementText("<r><Program_Name>Auralith</Program_Name><Program_Version></Program_Version></r>", kName),
            "");
  // Written as an empty element it has no end, so the earlier value stays.
  EXPECT_EQ(FindElementText("<r><Program_Version>1</Program_Version><Program_Version/></r>", kName), "1");
}

TEST(FindElementText, ParentEndTakesTheLatestText) {
  // End tags do not empty the text, so a child's text reaches the parent's
  // end unless the parent has text after the child.
  EXPECT_EQ(FindElementText("<r><Program_Version>1<b>2</b></Program_Version></r>", kName), "2");
  EXPECT_EQ(FindElementText("<r><Program_Version>1<b>2</b>3</Program_Version></r>", kName), "3");
}

TEST(FindElementText, StopsAtFaultAndAtDtd) {
  EXPECT_EQ(FindElementText("<r><Program_Version>5</Program_Version><Program_Version>6</Program_Versio", kName), "5");
  EXPECT_EQ(FindElementText("<!DOCTYPE r><r><Program_Version>5</Program_Version></r>", kName), "");
}

}  // namespace
}  // namespace auralith::update
