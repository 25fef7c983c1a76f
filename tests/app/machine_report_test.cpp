#include "app/machine_report.h"
#include "app/sound_server_facts.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <sys/socket.h>
#include <sys/un.h>
#include <sys/utsname.h>
#include <unistd.h>

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

QByteArray Report(int timeoutMs = kSoundServerTimeoutMs) {
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  WriteMachineReport(buffer, timeoutMs);
  return buffer.data();
}

// Points the sound server clients of this process elsewhere for one test.
class SoundServerOverride {
 public:
  explicit SoundServerOverride(const QString& server) {
    if (const char* old = std::getenv("PULSE_SERVER")) saved_ = old;
    setenv("PULSE_SERVER", server.toLocal8Bit().constData(), 1);
  }
  ~SoundServerOverride() {
    if (saved_)
      setenv("PULSE_SERVER", saved_->c_str(), 1);
    else
      unsetenv("PULSE_SERVER");
  }

 private:
  std::optional<std::string> saved_;
};

TEST(MachineReportTest, DescribesTheMachineAndTheApplication) {
  const QByteArray report = Report();
  EXPECT_TRUE(report.endsWith('\n'));
  const std::optional<std::vector<Element>> elements = ParseReport(report);
  ASSERT_TRUE(elements) << report.constData();
  ASSERT_FALSE(elements->empty());
  EXPECT_EQ(elements->front().name, "MachineReport");

  const Element* application = Find(*elements, "Application");
  ASSERT_TRUE(application);
  EXPECT_EQ(application->attributes.at("version"), "1.2.4");
  EXPECT_EQ(ApplicationVersion(), "1.2.4");

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

TEST(MachineReportTest, ListsTheSoundServersSinksAndSources) {
  if (!std::getenv("PULSE_SERVER")) GTEST_SKIP() << "needs the test sound server (PULSE_SERVER)";
  const std::optional<std::vector<Element>> elements = ParseReport(Report());
  ASSERT_TRUE(elements);
  const Element* server = Find(*elements, "SoundServer");
  ASSERT_TRUE(server);
  ASSERT_EQ(server->attributes.at("reachable"), "yes");
  EXPECT_FALSE(server->attributes.at("version").isEmpty());
  EXPECT_EQ(server->attributes.at("defaultSink"), "speakers");

  std::map<QString, const Element*> sinks;
  int monitors = 0;
  for (const Element& element : *elements) {
    if (element.name == "Sink") sinks[element.attributes.at("name")] = &element;
    if (element.name == "Source" && element.attributes.count("monitor")) ++monitors;
  }
  ASSERT_TRUE(sinks.count("speakers"));
  ASSERT_TRUE(sinks.count("headphones"));
  const Element& speakers = *sinks.at("speakers");
  EXPECT_EQ(speakers.attributes.at("description"), "Speakers (Built-in Audio)");
  EXPECT_EQ(speakers.attributes.at("rate"), "44100");
  EXPECT_EQ(speakers.attributes.at("channels"), "2");
  EXPECT_FALSE(speakers.attributes.at("format").isEmpty());
  EXPECT_GE(monitors, 2);
}

TEST(SoundServerFactsTest, NoServerIsReportedAsUnreachable) {
  const SoundServerOverride missing(QStringLiteral("unix:/nonexistent/auralith/native"));
  const SoundServerFacts facts = QuerySoundServer(kSoundServerTimeoutMs);
  EXPECT_FALSE(facts.reachable);
  EXPECT_TRUE(facts.sinks.empty());
  const std::optional<std::vector<Element>> elements = ParseReport(Report());
  ASSERT_TRUE(elements);
  EXPECT_EQ(Find(*elements, "SoundServer")->attributes.at("reachable"), "no");
}

TEST(SoundServerFactsTest, AServerThatNeverAnswersCannotHoldTheReportUp) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  const QByteArray path = (folder.path() + "/native").toLocal8Bit();
  const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  ASSERT_LT(static_cast<size_t>(path.size()), sizeof address.sun_path);
  std::copy(path.begin(), path.end(), address.sun_path);
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(listener, 4), 0);  // connections queue, none is answered

  const SoundServerOverride hung(QStringLiteral("unix:") + QString::fromLocal8Bit(path));
  QElapsedTimer clock;
  clock.start();
  const SoundServerFacts facts = QuerySoundServer(300);
  const qint64 elapsedMs = clock.elapsed();
  close(listener);
  EXPECT_FALSE(facts.reachable);
  // Generous bound: it must end near its time-out, not hang.
  EXPECT_LT(elapsedMs, 3000);
}

}  // namespace
}  // namespace auralith::app
