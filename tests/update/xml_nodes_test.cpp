#include "update/xml_nodes.h"
#include "update/version_check.h"

#include <gtest/gtest.h>

#include <vector>

namespace auralith::net {
namespace {

// The nodes of a document, as "<name", "text", ">name".
std::vector<QString> Nodes(const QByteArray& document, bool* failed = nullptr) {
  XmlNodeReader reader(document);
  std::vector<QString> nodes;
  for (;;) {
    switch (reader.Next()) {
      case XmlNodeReader::Node::ElementStart:
        nodes.push_back(u'<' + reader.Value());
        break;
      case XmlNodeReader::Node::Text:
        nodes.push_back(reader.Value());
        break;
      case XmlNodeReader::Node::ElementEnd:
        nodes.push_back(u'>' + reader.Value());
        break;
      case XmlNodeReader::Node::End:
        if (failed) *failed = reader.Failed();
        return nodes;
    }
  }
}

using Strings = std::vector<QString>;

TEST(XmlNodeReader, GivesStartsTextsAndEndsOnly) {
  bool failed = true;
  EXPECT_EQ(Nodes("<?xml version=\"1.0\"?>\n<!-- c --><a x=\"1\">\n  <b>t</b>\n  <?pi x?><c><![CDATA[raw]]></c>\n</a>",
                  &failed),
            (Strings{"<a", "<b", "t", ">b", "<c", ">c", ">a"}));
  EXPECT_FALSE(failed);
}

TEST(XmlNodeReader, EmptyElementHasNoEnd) {
  EXPECT_EQ(Nodes("<a><b/><c></c><d /></a>"), (Strings{"<a", "<b", "<c", ">c", "<d", ">a"}));
}

TEST(XmlNodeReader, EntityReferencesJoinTheirText) {
  EXPECT_EQ(Nodes("<a>Smith &amp; Sons &lt;3&#65;</a>"), (Strings{"<a", "Smith & Sons <3A", ">a"}));
}

TEST(XmlNodeReader, TextAroundACommentArrivesTwice) {
  EXPECT_EQ(Nodes("<a>one<!-- x -->two</a>"), (Strings{"<a", "one", "two", ">a"}));
}

TEST(XmlNodeReader, DocumentTypeDeclarationEndsReading) {
  bool failed = false;
  EXPECT_TRUE(Nodes("<?xml version=\"1.0\"?><!DOCTYPE a [<!ENTITY e \"boom\">]><a>&e;</a>", &failed).empty());
  EXPECT_TRUE(failed);
}

TEST(XmlNodeReader, FaultKeepsWhatCameBefore) {
  bool failed = false;
  EXPECT_EQ(Nodes("<a><b>x</b><c>y</d></a>", &failed), (Strings{"<a", "<b", "x", ">b", "<c", "y"}));
  EXPECT_TRUE(failed);
  EXPECT_EQ(Nodes("<a><b>x</b>", &failed), (Strings{"<a", "<b", "x", ">b"}));
  EXPECT_TRUE(failed);
  EXPECT_TRUE(Nodes("", &failed).empty());
}

TEST(XmlNodeReader, DeclaredEncodingIsHonoured) {
  EXPECT_EQ(Nodes("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>caf\xe9</a>"),
            (Strings{"<a", QString::fromUtf8("caf\xc3\xa9"), ">a"}));
}

}  // namespace
}  // namespace auralith::net

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
