#include "tools/profiles/profiles_tool.h"

#include "app/command_line.h"
#include "app/diagnostic_log.h"
#include "app/server_host.h"
#include "app/settings_store.h"
#include "audio/sound_server_facts.h"
#include "profile_server/profile_server_client.h"
#include "update/version_check.h"

#include <array>
#include <optional>

namespace auralith::tools {

namespace {

constexpr std::array<const char*, 3> kCategoryNames = {"builtin", "desktop", "headphones"};

const char kUsage[] =
    "usage: auralith-profiles [-cactus|-zebra|-pluto] COMMAND\n"
    "  catalogue [--category builtin|desktop|headphones]\n"
    "  get CATEGORY MANUFACTURER MODEL\n"
    "  check-update\n";

std::optional<int> CategoryId(const QString& name) {
  for (std::size_t i = 0; i < kCategoryNames.size(); ++i) {
    if (name == QLatin1StringView(kCategoryNames[i])) return static_cast<int>(i) + 1;
  }
  return std::nullopt;
}

QString CategoryName(int id) { return QString::fromLatin1(kCategoryNames[static_cast<std::size_t>(id - 1)]); }

struct Session {
  explicit Session(int mode) : host(app::ServerHostForMode(mode)) {
    app::SetSoundServerQuery(audio::QuerySoundServer);
    app::SetLogActive(mode == app::kLocalServerWithLog || mode == app::kStagingServerWithLog);
  }
  ~Session() { app::CloseLog(); }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Failures come back as one-line reasons, so nothing is shown on the way.
  profiles::ProfileServerClient Client() const {
    return profiles::ProfileServerClient(profiles::DefaultProfileServerOptions(host, store));
  }

  QString host;
  settings::SettingsStore store;
};

int Fail(QTextStream& err, const QString& reason) {
  err << "auralith-profiles: " << QString(reason).replace(u'\n', u' ') << Qt::endl;
  return 1;
}

void PrintTable(const QList<QStringList>& rows, QTextStream& out) {
  QList<qsizetype> widths;
  for (const QStringList& row : rows) {
    for (qsizetype i = 0; i < row.size(); ++i) {
      if (widths.size() <= i) widths.append(0);
      widths[i] = std::max(widths[i], row[i].size());
    }
  }
  for (const QStringList& row : rows) {
    QString line;
    for (qsizetype i = 0; i < row.size(); ++i) {
      line += i + 1 < row.size() ? row[i].leftJustified(widths[i] + 2) : row[i];
    }
    out << line << '\n';
  }
  out.flush();
}

int FetchCatalogue(Session& session, profiles::ProfileCatalogue& catalogue, QTextStream& err) {
  const auto outcome = session.Client().FetchCatalogue(catalogue);
  return outcome.ok ? 0 : Fail(err, outcome.failure);
}

int Catalogue(Session& session, const QStringList& args, QTextStream& out, QTextStream& err) {
  std::optional<int> only;
  if (args.size() == 2 && args[0] == u"--category") {
    only = CategoryId(args[1]);
    if (!only) return Fail(err, QStringLiteral("unknown category \"%1\"").arg(args[1]));
  } else if (!args.isEmpty()) {
    err << kUsage;
    return 2;
  }
  profiles::ProfileCatalogue catalogue;
  if (const int status = FetchCatalogue(session, catalogue, err)) return status;
  QList<QStringList> rows = {{"CATEGORY", "MANUFACTURER", "MODEL", "FILE URL", "IMAGE URL", "DESCRIPTION"}};
  for (int id = profiles::ProfileCatalogue::kFirstCategoryId; id <= profiles::ProfileCatalogue::kLastCategoryId; ++id) {
    if (only && *only != id) continue;
    for (const auto& [maker, record] : catalogue.section(id)->models) {
      rows.append({CategoryName(id), maker, QString::fromStdString(record.model),
                   QString::fromStdString(record.location), QString::fromStdString(record.imageUrl),
                   QString::fromStdString(record.description)});
    }
  }
  PrintTable(rows, out);
  return 0;
}

class PrintingHandler : public profiles::StoredProfileHandler {
 public:
  void ProfileStored(const std::string& storedPath) override { path = storedPath; }
  std::string path;
};

int Get(Session& session, const QStringList& args, QTextStream& out, QTextStream& err) {
  if (args.size() != 3) {
    err << kUsage;
    return 2;
  }
  const std::optional<int> id = CategoryId(args[0]);
  if (!id) return Fail(err, QStringLiteral("unknown category \"%1\"").arg(args[0]));
  profiles::ProfileCatalogue catalogue;
  if (const int status = FetchCatalogue(session, catalogue, err)) return status;

  auto& models = catalogue.section(*id)->models;
  profiles::ProfileRecord* chosen = nullptr;
  for (auto [it, end] = models.equal_range(args[1]); it != end && !chosen; ++it) {
    if (QString::fromStdString(it->second.model) == args[2]) chosen = &it->second;
  }
  if (!chosen) {
    return Fail(err, QStringLiteral("the %1 catalogue has no model \"%2\" of \"%3\"").arg(args[0], args[2], args[1]));
  }
  const profiles::ProfileServerClient client = session.Client();
  // As in the browser: the picture comes with choosing the model, so the
  // stored row names it.
  if (!chosen->imageUrl.empty()) {
    chosen->imageFileName = client.FetchPicture(QString::fromStdString(chosen->imageUrl), *chosen).toStdString();
  }
  PrintingHandler handler;
  const auto stored = client.FetchAndStoreProfile(*chosen, handler);
  if (!stored.path) return Fail(err, stored.failure);
  out << QString::fromStdString(*stored.path) << Qt::endl;
  return 0;
}

int CheckUpdate(Session& session, QTextStream& out, QTextStream& err) {
  update::VersionCheckOptions options;
  options.host = session.host;
  const update::VersionCheckResult result = update::CheckPublishedVersion(options);
  if (result.failure) return Fail(err, *result.failure);
  out << result.newVersion << Qt::endl;
  return 0;
}

}  // namespace

int RunProfilesTool(const QStringList& arguments, QTextStream& out, QTextStream& err) {
  QStringList args = arguments;
  int mode = app::kProductionServer;
  if (!args.isEmpty() && args[0].startsWith(u'-') && app::ServerModeOf(args[0]) != app::kProductionServer) {
    mode = app::ServerModeOf(args.takeFirst());
  }
  if (args.isEmpty()) {
    err << kUsage;
    return 2;
  }
  const QString command = args.takeFirst();
  Session session(mode);
  if (command == u"catalogue") return Catalogue(session, args, out, err);
  if (command == u"get") return Get(session, args, out, err);
  if (command == u"check-update" && args.isEmpty()) return CheckUpdate(session, out, err);
  err << kUsage;
  return 2;
}

}  // namespace auralith::tools
