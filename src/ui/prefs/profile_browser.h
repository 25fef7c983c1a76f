#pragma once

#include "profile_server/profile_catalogue.h"
#include "profiles/builtin_profiles.h"
#include "ui/prefs/stored_profile_handler.h"

#include <QByteArray>

#include <QObject>

#include <functional>

class AStaticImage;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QWidget;

namespace auralith::ui {

class ProfileService;

// The lower half of the settings pane: the catalogue's manufacturers and
// models of the pane's category, the chosen model's picture and
// description, and the two buttons that fetch the catalogue and store a
// model's profile. Model rows hold a key into the catalogue (its
// generation and the record's place), never the record itself, so a row
// left over from an earlier catalogue or category finds nothing.
class ProfileBrowser : public QObject {
  Q_OBJECT
 public:
  // Creates the controls on `pane`; `category` tells the pane's current
  // category; a stored profile goes to `stored`.
  ProfileBrowser(QWidget& pane, ProfileService& service, std::function<profiles::PaneCategory()> category,
                 StoredProfileHandler& stored);

  // Rebuilds the manufacturer list for the current category.
  void FillManufacturers();

  // The buttons' handlers. Each starts a request and returns; the
  // browser stays disabled until its answer has come.
  void FetchCatalogue();
  void GetProfile();

  // The record a model row refers to, if it still belongs to the
  // catalogue and the current category.
  const profiles::ProfileRecord* RecordOf(const QListWidgetItem* modelRow) const;

  bool Busy() const { return busy_; }
  profiles::ProfileCatalogue& Catalogue() { return catalogue_; }
  QListWidget* Manufacturers() const { return manufacturers_; }
  QListWidget* Models() const { return models_; }
  QPushButton* GetProfileButton() const { return getProfile_; }
  QPushButton* FetchButton() const { return fetch_; }
  QLabel* Status() const { return status_; }
  QLabel* Description() const { return description_; }
  AStaticImage* Picture() const { return picture_; }

 private:
  int CategoryId() const;
  void OnManufacturerChanged();
  void OnModelChanged();
  void ClearDetails();
  void SetBusy(bool busy);

  ProfileService& service_;
  std::function<profiles::PaneCategory()> category_;
  StoredProfileHandler& stored_;
  // The shown model's picture as it came, stored with its profile.
  QByteArray picture_bytes_;
  profiles::ProfileCatalogue catalogue_;
  int generation_ = 0;
  bool busy_ = false;
  QLabel* status_;
  QListWidget* manufacturers_;
  QListWidget* models_;
  AStaticImage* picture_;
  QLabel* description_;
  QPushButton* getProfile_;
  QPushButton* fetch_;
};

// The device category id of a pane category (1, 2, 3).
int DeviceCategoryIdOf(profiles::PaneCategory category);

}  // namespace auralith::ui
