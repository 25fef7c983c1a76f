#pragma once

// Runs tests/server/reference_server.py for one test: on 127.0.0.1, on a
// port the system picks, over a data folder of the test's own, stopped
// when the object goes.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#ifndef AURALITH_REFERENCE_SERVER
#error "AURALITH_REFERENCE_SERVER must name the reference server script"
#endif

namespace auralith::testing {

// A data folder: files/, pictures/ and whatever documents a test writes.
class ServerData {
 public:
  ServerData() {
    QDir(dir_.path()).mkpath(QStringLiteral("files"));
    QDir(dir_.path()).mkpath(QStringLiteral("pictures"));
  }
  QString path() const { return dir_.path(); }
  // Writes a file below the folder ("files/x.hvnp", "catalogue.xml").
  void Write(const QString& relative, const QByteArray& content) const {
    QFile file(dir_.filePath(relative));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(content), content.size());
  }

 private:
  QTemporaryDir dir_;
};

class ReferenceServer {
 public:
  explicit ReferenceServer(const QString& dataDir, const QStringList& extra = {}) {
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QStringLiteral("python3"),
                   QStringList{QStringLiteral(AURALITH_REFERENCE_SERVER), QStringLiteral("--port"), QStringLiteral("0"),
                               QStringLiteral("--data"), dataDir} +
                       extra);
    QByteArray line;
    while (!line.contains('\n') && process_.waitForReadyRead(10000)) line += process_.readLine();
    const qsizetype colon = line.lastIndexOf(':');
    if (line.startsWith("listening on 127.0.0.1:") && colon > 0) {
      port_ = static_cast<quint16>(line.mid(colon + 1).trimmed().toUInt());
    }
  }
  ~ReferenceServer() {
    process_.kill();
    process_.waitForFinished(5000);
  }
  ReferenceServer(const ReferenceServer&) = delete;
  ReferenceServer& operator=(const ReferenceServer&) = delete;

  bool running() const { return port_ != 0; }
  quint16 port() const { return port_; }

 private:
  QProcess process_;
  quint16 port_ = 0;
};

}  // namespace auralith::testing
