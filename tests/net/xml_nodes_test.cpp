#include "net/xml_nodes.h"

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
