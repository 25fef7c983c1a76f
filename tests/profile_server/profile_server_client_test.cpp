#include "profile_server/profile_server_client.h"
#include "net/wait_for_completion.h"
#include "profiles/profile_database.h"
#include "server/reference_server_process.h"
#include "server/test_picture.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <memory>

namespace auralith::profiles {
namespace {

using auralith::testing::ReferenceServer;
using auralith::testing::ServerData;

// Both sets give every parameter 1 to 58; `end` is the line end.
QByteArray CompleteProfile(const QByteArray& end, float movieValue = 0.25f) {
  QByteArray text;
  for (const float value : {0.5f, movieValue}) {
    for (int number = 1; number <= 58; ++number)
      text += QByteArray::number(number) + ' ' + QByteArray::number(value) + end;
    text += end;
  }
  return text;
}

const QByteArray kProfile = CompleteProfile("\r\n");
const QByteArray kProfileStored = CompleteProfile("\n");
const QByteArray kPicture = auralith::testing::PngBytes();

const QByteArray kCatalogue = R"(<?xml version="1.0"?>
<catalogue>
 <device><id>2</id>
  <manufacturer><name>Orlo</name>
   <model><name>Cube</name><description>compact</description>
     <file_url>{base}/files/Orlo%20Cube.hvnp</file_url><image_url>{base}/pictures/cube.png</image_url></model>
   <model><name>Tower</name><description>tall</description>
     <file_url>{base}/files/Tower.hvnp</file_url><image_url></image_url></model>
  </manufacturer>
 </device>
</catalogue>
)";

// What the caller did with each stored path.
struct RecordingHandler {
  std::vector<std::string> paths;
};

struct CatalogueOutcome {
  bool ok = false;
  QString failure;
};

// The calls as a program with nothing else to do waits for them.
CatalogueOutcome FetchCatalogueNow(const ProfileServerClient& client, ProfileCatalogue& catalogue) {
  using Fetch = ProfileServerClient::CatalogueFetch;
  Fetch fetch = net::WaitForCompletion<Fetch>([&](std::function<void(Fetch)> done) { client.FetchCatalogue(done); });
  if (fetch.catalogue) catalogue = std::move(*fetch.catalogue);
  return {fetch.ok, fetch.failure};
}

ProfileServerClient::Stored StoreNow(const ProfileServerClient& client, const ProfileRecord& model,
                                     RecordingHandler& handler, const QByteArray& picture = {}) {
  using Stored = ProfileServerClient::Stored;
  Stored stored = net::WaitForCompletion<Stored>(
      [&](std::function<void(Stored)> done) { client.FetchAndStoreProfile(model, done, nullptr, picture); });
  if (stored.path) handler.paths.push_back(*stored.path);
  return stored;
}

std::optional<QByteArray> FetchPictureNow(const ProfileServerClient& client, const QString& url) {
  using Picture = std::optional<QByteArray>;
  return net::WaitForCompletion<Picture>([&](std::function<void(Picture)> done) { client.FetchPicture(url, done); });
}

class ProfileServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.isValid());
    data_.Write(QStringLiteral("catalogue.xml"), kCatalogue);
    data_.Write(QStringLiteral("files/Orlo Cube.hvnp"), kProfile);
    data_.Write(QStringLiteral("files/Tower.hvnp"), CompleteProfile("\n", 7.0f));
    data_.Write(QStringLiteral("pictures/cube.png"), kPicture);
  }

  void Start(const QStringList& extra = {}) {
    server_ =
        std::make_unique<ReferenceServer>(data_.path(), QStringList{QStringLiteral("--record"), RecordPath()} + extra);
    ASSERT_TRUE(server_->running());
  }

  ProfileServerClient Client() {
    ProfileServerOptions options;
    options.serverHost = QStringLiteral("localhost");
    options.http.override = net::Endpoint{QStringLiteral("127.0.0.1"), server_ ? server_->port() : quint16(1)};
    options.http.connectTimeoutMs = 2000;
    options.http.receiveTimeoutMs = 500;
    options.account =
        AccountDetails{QStringLiteral("me@example.org"), QStringLiteral("p&ss=w+rd %"), QStringLiteral("machine")};
    options.computerName = QStringLiteral("test pc");
    options.version = QStringLiteral("1.2.4");
    options.folder = Folder();
    options.tellUser = [this](const QString& message) { shown_.append(message); };
    return ProfileServerClient(options);
  }

  QString RecordPath() const { return data_.path() + QStringLiteral("/forms.jsonl"); }
  std::string Folder() const { return (folder_.path() + u'/').toStdString(); }
  QString InFolder(const QString& name) const { return folder_.filePath(name); }

  // The forms the server received, in order.
  QList<QJsonObject> Forms() const {
    QList<QJsonObject> forms;
    QFile file(RecordPath());
    if (!file.open(QIODevice::ReadOnly)) return forms;
    for (const QByteArray& line : file.readAll().split('\n')) {
      if (!line.isEmpty()) forms.append(QJsonDocument::fromJson(line).object());
    }
    return forms;
  }
  static QString Field(const QJsonObject& form, const char* name) {
    return form[QStringLiteral("fields")].toObject()[QLatin1StringView(name)].toString();
  }

  QByteArray Read(const QString& path) const {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  QStringList FolderEntries() const {
    return QDir(folder_.path()).entryList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
  }
  std::string Column(const std::string& path, const char* column) const {
    ProfileDatabase db(Folder() + kProfileDatabaseFileName);
    const auto row = db.lookup(path);
    if (!row) return "<no row>";
    for (const auto& [name, value] : *row) {
      if (name == column) return value;
    }
    return "<no column>";
  }

  ProfileRecord Model(const QString& manufacturer, const std::string& model) {
    ProfileCatalogue catalogue;
    EXPECT_TRUE(FetchCatalogueNow(Client(), catalogue).ok);
    for (int id = 1; id <= 3; ++id) {
      for (const auto& [maker, record] : catalogue.section(id)->models) {
        if (maker == manufacturer && record.model == model) return record;
      }
    }
    ADD_FAILURE() << "no model " << model;
    return ProfileRecord{};
  }

  // Fetches and stores the model, expecting a refusal that changed nothing.
  ProfileServerClient::Stored FetchRefused(const ProfileRecord& model) {
    RecordingHandler handler;
    const auto stored = StoreNow(Client(), model, handler);
    EXPECT_FALSE(stored.path);
    EXPECT_FALSE(stored.failure.isEmpty());
    EXPECT_TRUE(handler.paths.empty());
    EXPECT_TRUE(FolderEntries().isEmpty());
    return stored;
  }

  ServerData data_;
  QTemporaryDir folder_;
  std::unique_ptr<ReferenceServer> server_;
  QStringList shown_;
};

// -- the catalogue -------------------------------------------------------

TEST_F(ProfileServerTest, CatalogueArrivesWithTheFormIntact) {
  Start();
  ProfileCatalogue catalogue;
  const auto outcome = FetchCatalogueNow(Client(), catalogue);
  EXPECT_TRUE(outcome.ok) << outcome.failure.toStdString();
  ASSERT_EQ(catalogue.section(2)->models.size(), 2u);
  EXPECT_EQ(catalogue.section(2)->models.begin()->second.location, "http://localhost/files/Orlo%20Cube.hvnp");

  const QList<QJsonObject> forms = Forms();
  ASSERT_EQ(forms.size(), 1);
  EXPECT_EQ(forms[0][QStringLiteral("path")].toString(), "/profiles/update");
  EXPECT_EQ(Field(forms[0], "email"), "me@example.org");
  EXPECT_EQ(Field(forms[0], "password"), "p&ss=w+rd %");
  EXPECT_EQ(Field(forms[0], "type_id"), "2");
  EXPECT_EQ(Field(forms[0], "machine_id"), "machine");
  EXPECT_EQ(Field(forms[0], "machine_friendly_name"), "test pc");
  EXPECT_EQ(Field(forms[0], "version"), "1.2.4");
  EXPECT_TRUE(forms[0][QStringLiteral("raw")].toString().endsWith(u"&iamnotversionone=1"));
}

TEST_F(ProfileServerTest, CatalogueBuiltFromTheModelList) {
  data_.Write(QStringLiteral("catalogue.xml"), QByteArray());
  QFile::remove(data_.path() + QStringLiteral("/catalogue.xml"));
  data_.Write(QStringLiteral("models.json"),
              R"([{"device": 3, "manufacturer": "T & S", "model": "Studio", "file": "Studio One.hvnp",
                   "image": "", "description": "closed <back>"}])");
  Start();
  ProfileCatalogue catalogue;
  ASSERT_TRUE(FetchCatalogueNow(Client(), catalogue).ok);
  ASSERT_EQ(catalogue.section(3)->models.size(), 1u);
  const ProfileRecord& record = catalogue.section(3)->models.begin()->second;
  EXPECT_EQ(record.manufacturer, "T & S");
  EXPECT_EQ(record.description, "closed <back>");
  EXPECT_EQ(record.location, "http://localhost/files/Studio%20One.hvnp");
}

TEST_F(ProfileServerTest, RefusedAccountLeavesCatalogueWithoutMessage) {
  Start({QStringLiteral("--email"), QStringLiteral("me@example.org"), QStringLiteral("--password"),
         QStringLiteral("other")});
  ProfileCatalogue catalogue;
  catalogue.section(1)->manufacturers.append(QStringLiteral("kept"));
  const auto outcome = FetchCatalogueNow(Client(), catalogue);
  EXPECT_FALSE(outcome.ok);
  EXPECT_TRUE(outcome.failure.contains(u"403"));
  EXPECT_EQ(catalogue.section(1)->manufacturers, QStringList{"kept"});
  EXPECT_TRUE(shown_.isEmpty());
}

TEST_F(ProfileServerTest, MatchingAccountIsAccepted) {
  Start({QStringLiteral("--email"), QStringLiteral("me@example.org"), QStringLiteral("--password"),
         QStringLiteral("p&ss=w+rd %")});
  ProfileCatalogue catalogue;
  EXPECT_TRUE(FetchCatalogueNow(Client(), catalogue).ok);
}

TEST_F(ProfileServerTest, ServerErrorLeavesCatalogueWithoutMessage) {
  Start({QStringLiteral("--fault"), QStringLiteral("status500")});
  ProfileCatalogue catalogue;
  catalogue.section(1)->manufacturers.append(QStringLiteral("kept"));
  EXPECT_FALSE(FetchCatalogueNow(Client(), catalogue).ok);
  EXPECT_EQ(catalogue.section(1)->manufacturers, QStringList{"kept"});
  EXPECT_TRUE(shown_.isEmpty());
}

TEST_F(ProfileServerTest, UnreachableServerTellsTheUser) {
  ProfileCatalogue catalogue;
  catalogue.section(1)->manufacturers.append(QStringLiteral("kept"));
  EXPECT_FALSE(FetchCatalogueNow(Client(), catalogue).ok);  // nothing listens on port 1
  EXPECT_EQ(catalogue.section(1)->manufacturers, QStringList{"kept"});
  EXPECT_EQ(shown_.size(), 1);
}

TEST_F(ProfileServerTest, SilentServerTimesOut) {
  Start({QStringLiteral("--fault"), QStringLiteral("slow")});
  ProfileCatalogue catalogue;
  EXPECT_FALSE(FetchCatalogueNow(Client(), catalogue).ok);
  ASSERT_EQ(shown_.size(), 1);
  EXPECT_TRUE(shown_[0].contains(u"timed out"));
}

TEST_F(ProfileServerTest, EndlessCatalogueIsRefused) {
  Start({QStringLiteral("--fault"), QStringLiteral("endless")});
  ProfileCatalogue catalogue;
  catalogue.section(1)->manufacturers.append(QStringLiteral("kept"));
  EXPECT_FALSE(FetchCatalogueNow(Client(), catalogue).ok);
  EXPECT_EQ(catalogue.section(1)->manufacturers, QStringList{"kept"});
  EXPECT_EQ(shown_.size(), 1);
}

TEST_F(ProfileServerTest, MalformedCatalogueKeepsTheModelsBeforeTheFault) {
  Start({QStringLiteral("--fault"), QStringLiteral("malformed")});
  ProfileCatalogue catalogue;
  const auto outcome = FetchCatalogueNow(Client(), catalogue);
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(catalogue.section(2)->models.size(), 2u);
}

TEST_F(ProfileServerTest, CatalogueWithDtdIsNotRead) {
  Start({QStringLiteral("--fault"), QStringLiteral("dtd")});
  ProfileCatalogue catalogue;
  EXPECT_FALSE(FetchCatalogueNow(Client(), catalogue).ok);
  EXPECT_TRUE(catalogue.empty());
}

// -- profile fetch and store ---------------------------------------------

TEST_F(ProfileServerTest, FetchedProfileIsStoredWithItsRowAndHandedOn) {
  Start();
  ProfileRecord model = Model(QStringLiteral("Orlo"), "Cube");
  model.imageFileName = "cube.png";
  RecordingHandler handler;
  const auto stored = StoreNow(Client(), model, handler);
  const std::string expected = InFolder(QStringLiteral("Orlo Cube.hvnp")).toStdString();
  ASSERT_EQ(stored.path, expected) << stored.failure.toStdString();
  EXPECT_EQ(handler.paths, std::vector<std::string>{expected});
  EXPECT_EQ(Read(InFolder(QStringLiteral("Orlo Cube.hvnp"))), kProfileStored);
  EXPECT_EQ(Column(expected, "device"), "2");
  EXPECT_EQ(Column(expected, "mftr"), "Orlo");
  EXPECT_EQ(Column(expected, "model"), "Cube");
  EXPECT_EQ(Column(expected, "descr"), "compact");
  EXPECT_EQ(Column(expected, "imgPath"), "cube.png");
  EXPECT_TRUE(shown_.isEmpty());
  // The profile file is asked for with the same form.
  EXPECT_EQ(Field(Forms().last(), "password"), "p&ss=w+rd %");
}

TEST_F(ProfileServerTest, ExistingFileKeepsItsContentsWhileItsRowIsUpdated) {
  Start();
  QFile existing(InFolder(QStringLiteral("Orlo Cube.hvnp")));
  ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
  existing.write(kProfile);  // same profile, other line ends
  existing.close();
  const std::string path = existing.fileName().toStdString();
  {
    ProfileDatabase db(Folder() + kProfileDatabaseFileName);
    ProfileRecord old;
    old.description = "old";
    ASSERT_TRUE(db.store(path, old));
  }
  RecordingHandler handler;
  EXPECT_EQ(StoreNow(Client(), Model(QStringLiteral("Orlo"), "Cube"), handler).path, path);
  EXPECT_EQ(Read(existing.fileName()), kProfile);
  EXPECT_EQ(Column(path, "descr"), "compact");
  EXPECT_EQ(handler.paths.size(), 1u);
}

TEST_F(ProfileServerTest, ExistingFileWithOtherContentIsNotRelabelled) {
  Start();
  QFile existing(InFolder(QStringLiteral("Orlo Cube.hvnp")));
  ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
  existing.write("5 5\n");
  existing.close();
  RecordingHandler handler;
  const auto stored = StoreNow(Client(), Model(QStringLiteral("Orlo"), "Cube"), handler);
  const QString second = InFolder(QStringLiteral("Orlo Cube (2).hvnp"));
  ASSERT_EQ(stored.path, second.toStdString());
  EXPECT_EQ(Read(existing.fileName()), "5 5\n");
  EXPECT_EQ(Read(second), kProfileStored);
  EXPECT_EQ(Column(existing.fileName().toStdString(), "model"), "<no row>");
  EXPECT_EQ(Column(second.toStdString(), "model"), "Cube");
}

TEST_F(ProfileServerTest, ReplyWithoutParameterLinesChangesNothing) {
  data_.Write(QStringLiteral("files/Tower.hvnp"), "<html>maintenance</html>\n");
  Start();
  FetchRefused(Model(QStringLiteral("Orlo"), "Tower"));
  EXPECT_EQ(shown_.size(), 1);
}

TEST_F(ProfileServerTest, MissingProfileFileChangesNothing) {
  QFile::remove(data_.path() + QStringLiteral("/files/Tower.hvnp"));
  Start();
  EXPECT_TRUE(FetchRefused(Model(QStringLiteral("Orlo"), "Tower")).failure.contains(u"404"));
  EXPECT_TRUE(shown_.isEmpty());
}

TEST_F(ProfileServerTest, EndlessProfileIsRefusedWithoutWriting) {
  Start({QStringLiteral("--fault"), QStringLiteral("endless"), QStringLiteral("--fault-path"),
         QStringLiteral("/files/")});
  FetchRefused(Model(QStringLiteral("Orlo"), "Cube"));
  EXPECT_EQ(shown_.size(), 1);
}

TEST_F(ProfileServerTest, UnsafeFileNameIsRefusedBeforeAnyRequest) {
  Start();
  for (const char* url : {"http://localhost/files/..%2F..%2Fescape.hvnp", "http://localhost/files/",
                          "http://localhost/files/%2e%2e", "http://localhost/files/a%0Ab.hvnp", "/no/host.hvnp"}) {
    ProfileRecord model;
    model.location = url;
    FetchRefused(model);
  }
  EXPECT_EQ(shown_.size(), 5);
  EXPECT_TRUE(Forms().isEmpty());
}

TEST_F(ProfileServerTest, OtherHostGetsNoAccountDetails) {
  Start();
  ProfileRecord model = Model(QStringLiteral("Orlo"), "Tower");
  model.location = "http://mirror.elsewhere.example/files/Tower.hvnp";
  RecordingHandler handler;
  ASSERT_TRUE(StoreNow(Client(), model, handler).path);
  const QJsonObject form = Forms().last();
  EXPECT_EQ(form[QStringLiteral("path")].toString(), "/files/Tower.hvnp");
  EXPECT_EQ(Field(form, "email"), "");
  EXPECT_EQ(Field(form, "password"), "");
  EXPECT_EQ(Field(form, "machine_id"), "machine");
}

// -- pictures ------------------------------------------------------------

TEST_F(ProfileServerTest, PictureFetchGivesOnlyImagesAndWritesNothing) {
  data_.Write(QStringLiteral("pictures/error.png"), "<html>404 page</html>\n");
  Start();
  EXPECT_EQ(FetchPictureNow(Client(), QStringLiteral("http://localhost/pictures/cube.png")), kPicture);
  EXPECT_FALSE(FetchPictureNow(Client(), QStringLiteral("http://localhost/pictures/error.png")));
  EXPECT_FALSE(FetchPictureNow(Client(), QStringLiteral("http://localhost/pictures/none.png")));
  EXPECT_TRUE(FolderEntries().isEmpty());
  server_.reset();
  EXPECT_FALSE(FetchPictureNow(Client(), QStringLiteral("http://localhost/pictures/cube.png")));
  EXPECT_TRUE(shown_.isEmpty());
}

TEST_F(ProfileServerTest, PictureComesOnlyWithAnAcceptedProfile) {
  data_.Write(QStringLiteral("files/Orlo Cube.hvnp"), "1 0\n");  // parameters 2 to 58 missing
  Start();
  RecordingHandler handler;
  const auto stored = StoreNow(Client(), Model(QStringLiteral("Orlo"), "Cube"), handler);
  EXPECT_FALSE(stored.path);
  EXPECT_TRUE(FolderEntries().isEmpty());
  // Only the catalogue and the profile were asked for, never the picture.
  EXPECT_EQ(Forms().size(), 2);
}

TEST_F(ProfileServerTest, PictureThatIsNotAnImageReplacesNothing) {
  data_.Write(QStringLiteral("pictures/cube.png"), "<html>error page</html>\n");
  Start();
  const QByteArray builtIn = auralith::testing::PngBytes(Qt::red);
  QFile existing(InFolder(QStringLiteral("cube.png")));
  ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
  existing.write(builtIn);
  existing.close();
  RecordingHandler handler;
  const auto stored = StoreNow(Client(), Model(QStringLiteral("Orlo"), "Cube"), handler);
  ASSERT_TRUE(stored.path) << stored.failure.toStdString();
  EXPECT_TRUE(stored.pictureName.isEmpty());
  EXPECT_EQ(Read(existing.fileName()), builtIn);
  EXPECT_EQ(Column(*stored.path, "imgPath"), "");
}

TEST_F(ProfileServerTest, TakenPictureNameGetsANumberedSuffix) {
  Start();
  const QByteArray other = auralith::testing::PngBytes(Qt::red);
  QFile existing(InFolder(QStringLiteral("cube.png")));  // a built-in picture, say
  ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
  existing.write(other);
  existing.close();
  {
    // Another profile's record names "cube (2).png", not yet on disk.
    ProfileDatabase db(Folder() + kProfileDatabaseFileName);
    ProfileRecord record;
    record.imageFileName = "cube (2).png";
    ASSERT_TRUE(db.store(InFolder(QStringLiteral("Other.hvnp")).toStdString(), record));
  }
  RecordingHandler handler;
  const auto stored = StoreNow(Client(), Model(QStringLiteral("Orlo"), "Cube"), handler);
  ASSERT_TRUE(stored.path) << stored.failure.toStdString();
  EXPECT_EQ(stored.pictureName, "cube (3).png");
  EXPECT_EQ(Read(existing.fileName()), other);
  EXPECT_EQ(Read(InFolder(QStringLiteral("cube (3).png"))), kPicture);
  EXPECT_EQ(Column(*stored.path, "imgPath"), "cube (3).png");
  EXPECT_FALSE(QFile::exists(InFolder(QStringLiteral("cube (2).png"))));
}

TEST_F(ProfileServerTest, PictureTheCallerHoldsIsStoredWithoutAnotherRequest) {
  Start();
  RecordingHandler handler;
  const ProfileRecord model = Model(QStringLiteral("Orlo"), "Cube");
  const auto stored = StoreNow(Client(), model, handler, kPicture);
  ASSERT_TRUE(stored.path);
  EXPECT_EQ(stored.pictureName, "cube.png");
  EXPECT_EQ(Read(InFolder(QStringLiteral("cube.png"))), kPicture);
  EXPECT_EQ(Forms().size(), 2);  // catalogue and profile only
}

TEST_F(ProfileServerTest, DatabaseNamesAreNeverUsedForDownloads) {
  data_.Write(QStringLiteral("files/ULXProfileData"), kProfile);
  data_.Write(QStringLiteral("files/ULXProfileData-journal"), kProfile);
  Start();
  for (const char* name : {"ULXProfileData", "ULXProfileData-journal"}) {
    ProfileRecord model = Model(QStringLiteral("Orlo"), "Tower");
    model.location = std::string("http://localhost/files/") + name;
    RecordingHandler handler;
    const auto stored = StoreNow(Client(), model, handler);
    ASSERT_TRUE(stored.path) << stored.failure.toStdString();
    EXPECT_EQ(*stored.path, InFolder(QStringLiteral("%1 (2)").arg(QLatin1StringView(name))).toStdString());
  }
  // The database itself is still one.
  EXPECT_EQ(Column(InFolder(QStringLiteral("ULXProfileData (2)")).toStdString(), "model"), "Tower");
}

TEST(PictureFileName, DerivedFromTheModelWhenTheUrlGivesNoPictureName) {
  ProfileRecord model;
  model.model = "A/B Cube";
  EXPECT_EQ(PictureFileName(QStringLiteral("http://h/p/x%20y.JPG"), model), "x y.JPG");
  EXPECT_EQ(PictureFileName(QStringLiteral("http://h/p/..%2Fx.png"), model), "A_B_Cube.png");
  EXPECT_EQ(PictureFileName(QStringLiteral("http://h/p/"), model), "tmp.png");
  model.model = "";
  EXPECT_EQ(PictureFileName(QStringLiteral("http://h/p/x.svg"), model), "tmp.png");
}

TEST(IsCompleteProfile, BothSetsNeedEveryParameterWithAFiniteValue) {
  EXPECT_TRUE(IsCompleteProfile(kProfileStored));
  EXPECT_FALSE(IsCompleteProfile("1 0\n"));
  EXPECT_FALSE(IsCompleteProfile(""));
  EXPECT_FALSE(IsCompleteProfile("<html>\n"));
  QByteArray musicOnly;
  for (int number = 1; number <= 58; ++number) musicOnly += QByteArray::number(number) + " 1\n";
  EXPECT_FALSE(IsCompleteProfile(musicOnly));
  QByteArray withNan = kProfileStored;
  withNan.replace("\n30 0.25\n", "\n30 nan\n");
  ASSERT_NE(withNan, kProfileStored);
  EXPECT_FALSE(IsCompleteProfile(withNan));
}

TEST(DecodesAsImage, OnlyRealPictures) {
  EXPECT_TRUE(DecodesAsImage(kPicture));
  EXPECT_FALSE(DecodesAsImage("\x89PNG but nothing more"));
  EXPECT_FALSE(DecodesAsImage(""));
}

}  // namespace
}  // namespace auralith::profiles
