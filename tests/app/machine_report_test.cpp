#include "app/machine_report.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QXmlStreamReader>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include <sys/utsname.h>
#include <unistd.h>

#include "auralith_version.h"

namespace auralith::app {
namespace {

struct Element {
  QString name;
  std::map<QString, QString> attributes;
  QString text;
};

// Every element of the report in document order; nothing when it is not
// well-formed XML.
std::optional<std::vector<Element>> ParseReport(const QByteArray& report) {
  QXmlStreamReader xml(report);
  std::vector<Element> elements;
  while (!xml.atEnd()) {
    xml.readNext();
    if (xml.isStartElement()) {
      Element element{xml.name().toString(), {}, {}};
      for (const QXmlStreamAttribute& attribute : xml.attributes())
        element.attributes[attribute.name().toString()] = attribute.value().toString();
      elements.push_back(element);
    } else if (xml.isCharacters() && !xml.isWhitespace() && !elements.empty()) {
      elements.back().text += xml.text().toString();
    }
  }
  if (xml.hasError()) return std::nullopt;
  return elements;
}

const Element* Find(const std::vector<Element>& elements, const QString& name) {
  for (const Element& element : elements)
    if (element.name == name) return &element;
  return nullptr;
}

QByteArray Report(const SoundServerQuery& soundServer) {
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  WriteMachineReport(buffer, soundServer);
  return buffer.data();
}

// A server with one sink and its monitor, as the audio module would report it.
audio::SoundServerFacts TwoDeviceServer() {
  audio::SoundServerFacts facts;
  facts.reachable = true;
  facts.serverName = "pulseaudio";
  facts.serverVersion = "16.1";
  facts.defaultSink = "speakers";
  facts.defaultSource = "speakers.monitor";
  facts.sinks.push_back({"speakers", "Speakers (Built-in Audio)", "s16le", 44100, 2, false});
  facts.sources.push_back({"speakers.monitor", "Monitor of Speakers", "s16le", 44100, 2, true});
  return facts;
}

TEST(MachineReportTest, DescribesTheMachineAndTheApplication) {
  const QByteArray report = Report({});
  EXPECT_TRUE(report.endsWith('\n'));
  const std::optional<std::vector<Element>> elements = ParseReport(report);
  ASSERT_TRUE(elements) << report.constData();
  ASSERT_FALSE(elements->empty());
  EXPECT_EQ(elements->front().name, "MachineReport");

  const Element* application = Find(*elements, "Application");
  ASSERT_TRUE(application);
  EXPECT_EQ(application->attributes.at("version"), AURALITH_VERSION);
  EXPECT_EQ(ApplicationVersion(), AURALITH_VERSION);

  struct utsname names = {};
  ASSERT_EQ(uname(&names), 0);
  const Element* kernel = Find(*elements, "Kernel");
  ASSERT_TRUE(kernel);
  EXPECT_EQ(kernel->attributes.at("release"), QString::fromLocal8Bit(names.release));
  EXPECT_FALSE(Find(*elements, "OperatingSystem")->text.isEmpty());

  const Element* processor = Find(*elements, "Processor");
  ASSERT_TRUE(processor);
  EXPECT_EQ(processor->attributes.at("count").toLong(), sysconf(_SC_NPROCESSORS_ONLN));
  EXPECT_TRUE(Find(*elements, "Memory")->attributes.at("total").endsWith("kB"));
  ASSERT_TRUE(Find(*elements, "SoundServer"));
}

TEST(MachineReportTest, WritesTheSoundServersFactsAsTheQueryGivesThem) {
  int askedWithin = 0;
  const std::optional<std::vector<Element>> elements = ParseReport(Report([&askedWithin](int timeoutMs) {
    askedWithin = timeoutMs;
    return TwoDeviceServer();
  }));
  ASSERT_TRUE(elements);
  EXPECT_EQ(askedWithin, kSoundServerTimeoutMs);
  const Element* server = Find(*elements, "SoundServer");
  ASSERT_TRUE(server);
  EXPECT_EQ(server->attributes.at("reachable"), "yes");
  EXPECT_EQ(server->attributes.at("name"), "pulseaudio");
  EXPECT_EQ(server->attributes.at("version"), "16.1");
  EXPECT_EQ(server->attributes.at("defaultSink"), "speakers");
  EXPECT_EQ(server->attributes.at("defaultSource"), "speakers.monitor");

  const Element* sink = Find(*elements, "Sink");
  ASSERT_TRUE(sink);
  EXPECT_EQ(sink->attributes.at("name"), "speakers");
  EXPECT_EQ(sink->attributes.at("description"), "Speakers (Built-in Audio)");
  EXPECT_EQ(sink->attributes.at("format"), "s16le");
  EXPECT_EQ(sink->attributes.at("rate"), "44100");
  EXPECT_EQ(sink->attributes.at("channels"), "2");
  EXPECT_EQ(sink->attributes.count("monitor"), 0u);
  const Element* source = Find(*elements, "Source");
  ASSERT_TRUE(source);
  EXPECT_EQ(source->attributes.at("name"), "speakers.monitor");
  EXPECT_EQ(source->attributes.at("monitor"), "yes");
}

TEST(MachineReportTest, AnUnreachableServerOrNoQueryListsNoDevices) {
  for (const SoundServerQuery& query :
       {SoundServerQuery{}, SoundServerQuery([](int) { return audio::SoundServerFacts{}; })}) {
    const std::optional<std::vector<Element>> elements = ParseReport(Report(query));
    ASSERT_TRUE(elements);
    const Element* server = Find(*elements, "SoundServer");
    ASSERT_TRUE(server);
    EXPECT_EQ(server->attributes.at("reachable"), "no");
    EXPECT_EQ(server->attributes.count("name"), 0u);
    EXPECT_FALSE(Find(*elements, "Sink"));
    EXPECT_FALSE(Find(*elements, "Source"));
  }
}

}  // namespace
}  // namespace auralith::app
