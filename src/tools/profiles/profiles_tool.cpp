#include "tools/profiles/profiles_tool.h"

#include "app/command_line.h"
#include "app/diagnostic_log.h"
#include "app/server_client_options.h"
#include "app/server_host.h"
#include "app/settings_store.h"
#include "audio/sound_server_facts.h"
#include "net/wait_for_completion.h"
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
    return profiles::ProfileServerClient(app::ProfileServerOptionsFor(host, store));
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

// False, with the reason on `err`, when the catalogue could not be had. The
// tool has nothing else to do meanwhile: each call waits at the top.
bool FetchCatalogue(Session& session, profiles::ProfileCatalogue& catalogue, QTextStream& err) {
  using Fetch = profiles::ProfileServerClient::CatalogueFetch;
  const profiles::ProfileServerClient client = session.Client();
  Fetch fetch =
      net::WaitForCompletion<Fetch>([&](std::function<void(Fetch)> done) { client.FetchCatalogue(std::move(done)); });
  if (fetch.catalogue) catalogue = std::move(*fetch.catalogue);
  if (!fetch.ok) Fail(err, fetch.failure);
  return fetch.ok;
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
  if (!FetchCatalogue(session, catalogue, err)) return 1;
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

int Get(Session& session, const QStringList& args, QTextStream& out, QTextStream& err) {
  if (args.size() != 3) {
    err << kUsage;
    return 2;
  }
  const std::optional<int> id = CategoryId(args[0]);
  if (!id) return Fail(err, QStringLiteral("unknown category \"%1\"").arg(args[0]));
  profiles::ProfileCatalogue catalogue;
  if (!FetchCatalogue(session, catalogue, err)) return 1;

  auto& models = catalogue.section(*id)->models;
  profiles::ProfileRecord* chosen = nullptr;
  for (auto [it, end] = models.equal_range(args[1]); it != end && !chosen; ++it) {
    if (QString::fromStdString(it->second.model) == args[2]) chosen = &it->second;
  }
  if (!chosen) {
    return Fail(err, QStringLiteral("the %1 catalogue has no model \"%2\" of \"%3\"").arg(args[0], args[2], args[1]));
  }
  using Stored = profiles::ProfileServerClient::Stored;
  const profiles::ProfileServerClient client = session.Client();
  // The picture comes after the profile was accepted.
  const Stored stored = net::WaitForCompletion<Stored>(
      [&](std::function<void(Stored)> done) { client.FetchAndStoreProfile(*chosen, std::move(done)); });
  if (!stored.path) return Fail(err, stored.failure);
  out << QString::fromStdString(*stored.path) << Qt::endl;
  return 0;
}

int CheckUpdate(Session& session, QTextStream& out, QTextStream& err) {
  const update::VersionCheckOptions options = app::VersionCheckOptionsFor(session.host);
  const update::VersionCheckResult result =
      net::WaitForCompletion<update::VersionCheckResult>([&](std::function<void(update::VersionCheckResult)> done) {
        update::CheckPublishedVersionAsync(options, std::move(done));
      });
  if (result.failure) return Fail(err, *result.failure);
  // A document without a version (or no XML at all) answers nothing.
  if (result.publishedVersion.isEmpty()) return Fail(err, QStringLiteral("no version found"));
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
