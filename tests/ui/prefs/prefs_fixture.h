#pragma once

// A settings pane on a real settings file and profile folder, with the main
// window played by recording stand-ins.

#include "app/profile_slots.h"
#include "app/settings_keys.h"
#include "app/settings_store.h"
#include "audio/output_devices.h"
#include "dsp/dsp_state.h"
#include "profiles/profile_folder.h"
#include "ui/prefs/prefs_context.h"
#include "ui/prefs/profile_service.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

namespace auralith::ui::test {

class RecordingProfiles : public app::CategoryProfileTarget {
 public:
  void SetBuiltInProfile(const QString& path, int) override { calls.push_back({0, path}); }
  void SetDesktopProfile(const QString& path, int) override { calls.push_back({2, path}); }
  void SetHeadphoneProfile(const QString& path, int) override { calls.push_back({1, path}); }
  struct Call {
    int code;
    QString path;
  };
  std::vector<Call> calls;
};

// Answers from a catalogue given by the test, at once; records what was
// asked.
class FakeService : public ProfileService {
 public:
  void FetchCatalogue(std::function<void(std::optional<profiles::ProfileCatalogue>)> done) override {
    ++catalogueFetches;
    if (!reply) return done(std::nullopt);
    profiles::ProfileCatalogue catalogue;
    profiles::ParseCatalogue(*reply, catalogue);
    done(std::move(catalogue));
  }
  void FetchPicture(const profiles::ProfileRecord&, std::function<void(QByteArray)> done) override { done({}); }
  void FetchAndStore(const profiles::ProfileRecord& model, const QByteArray&,
                     std::function<void(std::optional<std::string>)> done) override {
    stored.push_back(model);
    done(storedPath);
  }
  std::optional<QByteArray> reply;
  std::optional<std::string> storedPath;
  int catalogueFetches = 0;
  std::vector<profiles::ProfileRecord> stored;
};

inline audio::OutputDevice Device(const char* sink, const char* product) { return {sink, product}; }

class PrefsFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(config_.isValid());
    ASSERT_TRUE(profileDir_.isValid());
    setenv(settings::configDirEnv, config_.path().toLocal8Bit().constData(), 1);
    setenv(profiles::kProfileFolderEnv, Folder().toLocal8Bit().constData(), 1);
    const QDir assets(AURALITH_PROFILE_ASSETS);
    for (const QString& name : assets.entryList({"*.hvnp", "*.png"}, QDir::Files))
      ASSERT_TRUE(QFile::copy(assets.filePath(name), Folder() + name));
    store_.emplace();
    processing_ = std::make_unique<dsp::DspState>();
    devices_ = {Device("auralith_sink", "Auralith Virtual Output"), Device("speakers", "Speakers (Built-in Audio)"),
                Device("headset", "USB Headset")};
    context_.emplace(PrefsContext{*store_, *processing_, profiles_, [this] { return category_; },
                                  [this](int code) {
                                    setCategories_.push_back(code);
                                    category_ = code;
                                  },
                                  [] { return true; }, [] {}, [this] { return devices_; },
                                  [this](const audio::OutputDevice& device) {
                                    chosen_.push_back(device);
                                    store_->WriteProfileString(settings::settingsSection, OutputKeyFor(category_),
                                                               QString::fromStdString(device.productName));
                                  },
                                  [this] { ++showPreferences_; },
                                  [this](bool on) { lowLatencySwitches_.push_back(on); }});
  }
  void TearDown() override {
    unsetenv(settings::configDirEnv);
    unsetenv(profiles::kProfileFolderEnv);
  }

  static const char* OutputKeyFor(int code) {
    return code == 0 ? settings::biOutputKey : code == 1 ? settings::hpOutputKey : settings::dtOutputKey;
  }
  QString Folder() const { return profileDir_.path() + "/"; }
  QString Stored(const char* key) const { return store_->GetProfileString(settings::settingsSection, key, "<absent>"); }
  void Store(const char* key, const QString& value) {
    store_->WriteProfileString(settings::settingsSection, key, value);
  }
  // A copy of a shipped profile under a name of its own.
  QString UserFile(const QString& name) {
    const QString path = Folder() + name;
    QFile::copy(Folder() + "Tennet Headphones.hvnp", path);
    return path;
  }

  QTemporaryDir config_;
  QTemporaryDir profileDir_;
  std::optional<settings::SettingsStore> store_;
  std::unique_ptr<dsp::DspState> processing_;
  RecordingProfiles profiles_;
  FakeService service_;
  audio::OutputDeviceList devices_;
  int category_ = 2;
  std::vector<int> setCategories_;
  std::vector<audio::OutputDevice> chosen_;
  int showPreferences_ = 0;
  std::vector<bool> lowLatencySwitches_;
  std::optional<PrefsContext> context_;
};

}  // namespace auralith::ui::test
