#pragma once

#include <QByteArray>
#include <QString>
#include <QXmlStreamReader>

// A pull reader over an XML document that hands out only element starts,
// text and end tags, the way both server documents are read:
// - a document type declaration ends the reading (no DTD is processed, so
//   no entity can be declared or expanded);
// - white space between elements, comments, CDATA sections and processing
//   instructions are skipped;
// - text split by the reader around entity references arrives as one text;
// - an empty element written "<a/>" yields its start but no end tag, so it
//   never completes anything.

namespace auralith::net {

class XmlNodeReader {
 public:
  enum class Node { ElementStart, Text, ElementEnd, End };

  explicit XmlNodeReader(const QByteArray& document);

  // The next node; End at the end of the document, at a fault or at a DTD.
  Node Next();

  // The element's local name (ElementStart, ElementEnd) or the text (Text).
  const QString& Value() const { return value_; }

  // Whether reading stopped at a fault or a DTD rather than at the end.
  bool Failed() const { return !error_.isEmpty(); }
  const QString& Error() const { return error_; }

 private:
  QXmlStreamReader::TokenType Pull();

  QXmlStreamReader xml_;
  QString value_;
  QString error_;
  bool pending_ = false;     // a token pulled ahead while joining text
  qint64 startOffset_ = -1;  // where the latest element start ended
  bool afterStart_ = false;
};

}  // namespace auralith::net
