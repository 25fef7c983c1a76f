#include "net/xml_nodes.h"

namespace auralith::net {

XmlNodeReader::XmlNodeReader(const QByteArray& document) : xml_(document) {}

QXmlStreamReader::TokenType XmlNodeReader::Pull() {
  if (Failed() || xml_.atEnd()) return QXmlStreamReader::EndDocument;
  return xml_.readNext();
}

XmlNodeReader::Node XmlNodeReader::Next() {
  for (;;) {
    QXmlStreamReader::TokenType token = xml_.tokenType();
    if (pending_) {
      pending_ = false;
    } else {
      token = Pull();
    }
    switch (token) {
      case QXmlStreamReader::StartElement:
        value_ = xml_.name().toString();
        startOffset_ = xml_.characterOffset();
        afterStart_ = true;
        return Node::ElementStart;
      case QXmlStreamReader::EndElement: {
        // "<a/>" gives its end at once, without reading further input.
        const bool emptyElement = afterStart_ && xml_.characterOffset() == startOffset_;
        afterStart_ = false;
        if (emptyElement) continue;
        value_ = xml_.name().toString();
        return Node::ElementEnd;
      }
      case QXmlStreamReader::Characters:
        afterStart_ = false;
        if (xml_.isWhitespace() || xml_.isCDATA()) continue;
        value_ = xml_.text().toString();
        while ((token = Pull()) == QXmlStreamReader::Characters && !xml_.isCDATA()) {
          value_ += xml_.text();
        }
        pending_ = true;
        return Node::Text;
      case QXmlStreamReader::DTD:
        error_ = QStringLiteral("The document has a document type declaration.");
        return Node::End;
      case QXmlStreamReader::Invalid:
        error_ = xml_.errorString();
        if (error_.isEmpty()) error_ = QStringLiteral("The document is not well-formed.");
        return Node::End;
      case QXmlStreamReader::EndDocument:
        return Node::End;
      default:
        afterStart_ = false;
        continue;
    }
  }
}

}  // namespace auralith::net
