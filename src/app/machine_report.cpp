#include "app/machine_report.h"

#include "auralith_version.h"

#include <QDateTime>
#include <QFile>
#include <QIODevice>
#include <QSysInfo>
#include <QXmlStreamWriter>

#include <thread>

#include <sys/utsname.h>

namespace auralith::app {

namespace {

// The value of "key: value" lines (as in /proc/cpuinfo and /proc/meminfo)
// for the first line whose key is `key`.
QString ProcField(const QString& path, const QString& key) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return QString();
  // Files under /proc report a size of 0: read to the end, not by size.
  const QString text = QString::fromUtf8(file.readAll());
  for (QStringView line : QStringView(text).split(u'\n')) {
    const qsizetype colon = line.indexOf(u':');
    if (colon > 0 && line.left(colon).trimmed() == key) return line.mid(colon + 1).trimmed().toString();
  }
  return QString();
}

void WriteOperatingSystem(QXmlStreamWriter& xml) {
  xml.writeTextElement(QStringLiteral("OperatingSystem"), QSysInfo::prettyProductName());
  struct utsname names = {};
  if (uname(&names) == 0) {
    xml.writeStartElement(QStringLiteral("Kernel"));
    xml.writeAttribute(QStringLiteral("name"), QString::fromLocal8Bit(names.sysname));
    xml.writeAttribute(QStringLiteral("release"), QString::fromLocal8Bit(names.release));
    xml.writeAttribute(QStringLiteral("version"), QString::fromLocal8Bit(names.version));
    xml.writeAttribute(QStringLiteral("machine"), QString::fromLocal8Bit(names.machine));
    xml.writeEndElement();
  }
  xml.writeTextElement(QStringLiteral("MachineName"), QSysInfo::machineHostName());
}

void WriteProcessorAndMemory(QXmlStreamWriter& xml) {
  xml.writeStartElement(QStringLiteral("Processor"));
  xml.writeAttribute(QStringLiteral("count"), QString::number(std::thread::hardware_concurrency()));
  xml.writeCharacters(ProcField(QStringLiteral("/proc/cpuinfo"), QStringLiteral("model name")));
  xml.writeEndElement();
  xml.writeStartElement(QStringLiteral("Memory"));
  xml.writeAttribute(QStringLiteral("total"), ProcField(QStringLiteral("/proc/meminfo"), QStringLiteral("MemTotal")));
  xml.writeAttribute(QStringLiteral("available"),
                     ProcField(QStringLiteral("/proc/meminfo"), QStringLiteral("MemAvailable")));
  xml.writeEndElement();
}

void WriteDevice(QXmlStreamWriter& xml, const char* element, const audio::SoundDevice& device) {
  xml.writeStartElement(QString::fromLatin1(element));
  xml.writeAttribute(QStringLiteral("name"), QString::fromStdString(device.name));
  xml.writeAttribute(QStringLiteral("description"), QString::fromStdString(device.description));
  xml.writeAttribute(QStringLiteral("format"), QString::fromStdString(device.sampleFormat));
  xml.writeAttribute(QStringLiteral("rate"), QString::number(device.rate));
  xml.writeAttribute(QStringLiteral("channels"), QString::number(device.channels));
  if (device.isMonitor) xml.writeAttribute(QStringLiteral("monitor"), QStringLiteral("yes"));
  xml.writeEndElement();
}

void WriteSoundServer(QXmlStreamWriter& xml, const SoundServerQuery& soundServer, int timeoutMs) {
  const audio::SoundServerFacts facts = soundServer ? soundServer(timeoutMs) : audio::SoundServerFacts{};
  xml.writeStartElement(QStringLiteral("SoundServer"));
  xml.writeAttribute(QStringLiteral("reachable"), facts.reachable ? QStringLiteral("yes") : QStringLiteral("no"));
  if (facts.reachable) {
    xml.writeAttribute(QStringLiteral("name"), QString::fromStdString(facts.serverName));
    xml.writeAttribute(QStringLiteral("version"), QString::fromStdString(facts.serverVersion));
    xml.writeAttribute(QStringLiteral("defaultSink"), QString::fromStdString(facts.defaultSink));
    xml.writeAttribute(QStringLiteral("defaultSource"), QString::fromStdString(facts.defaultSource));
    for (const audio::SoundDevice& sink : facts.sinks) WriteDevice(xml, "Sink", sink);
    for (const audio::SoundDevice& source : facts.sources) WriteDevice(xml, "Source", source);
  }
  xml.writeEndElement();
}

}  // namespace

QString ApplicationVersion() { return QStringLiteral(AURALITH_VERSION); }

void WriteMachineReport(QIODevice& device, const SoundServerQuery& soundServer, int soundServerTimeoutMs) {
  QByteArray report;
  QXmlStreamWriter xml(&report);
  xml.setAutoFormatting(true);
  xml.writeStartDocument();
  xml.writeStartElement(QStringLiteral("MachineReport"));
  xml.writeAttribute(QStringLiteral("time"), QDateTime::currentDateTime().toString(Qt::ISODate));
  xml.writeStartElement(QStringLiteral("Application"));
  xml.writeAttribute(QStringLiteral("name"), QStringLiteral("Auralith"));
  xml.writeAttribute(QStringLiteral("version"), ApplicationVersion());
  xml.writeEndElement();
  WriteOperatingSystem(xml);
  WriteProcessorAndMemory(xml);
  WriteSoundServer(xml, soundServer, soundServerTimeoutMs);
  xml.writeEndElement();
  xml.writeEndDocument();
  if (!report.endsWith('\n')) report.append('\n');
  // One write, so a report is never interleaved with anything else.
  device.write(report);
}

}  // namespace auralith::app
