#include "ui/prefs/profile_browser.h"

#include "ui/prefs/dialog_units.h"
#include "ui/prefs/profile_service.h"
#include "ui/widgets/resources/ui_strings.h"
#include "ui/widgets/static_image.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>

namespace auralith::ui {
namespace {

constexpr int kBrowserTip = 155;
constexpr int kFetchingText = 187;
constexpr int kModelPictureSize = 48;
// Item data of a model row: the catalogue generation and the record's
// place in its section's model map.
constexpr int kGenerationRole = Qt::UserRole;
constexpr int kPlaceRole = Qt::UserRole + 1;
constexpr int kCategoryRole = Qt::UserRole + 2;

QListWidget* MakeList(QWidget& pane, const QRect& rect, const QString& name) {
  auto* list = new QListWidget(&pane);
  list->setGeometry(rect);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setAccessibleName(name);
  return list;
}

}  // namespace

int DeviceCategoryIdOf(profiles::PaneCategory category) { return int(category) + 1; }

ProfileBrowser::ProfileBrowser(QWidget& pane, ProfileService& service, std::function<profiles::PaneCategory()> category,
                               StoredProfileHandler& stored)
    : QObject(&pane), service_(service), category_(std::move(category)), stored_(stored) {
  status_ = new QLabel(&pane);
  status_->setGeometry(DluRect(7, 108, 133, 8));
  status_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  status_->setAccessibleName(QStringLiteral("Profile browser status"));
  manufacturers_ = MakeList(pane, DluRect(7, 116, 93, 77), QStringLiteral("Manufacturers"));
  models_ = MakeList(pane, DluRect(102, 116, 90, 77), QStringLiteral("Models"));
  auto* frame = new QGroupBox(QStringLiteral("Model Info"), &pane);
  frame->setGeometry(DluRect(194, 116, 99, 77));
  picture_ = new AStaticImage(&pane);
  const QRect pictureRect = DluRect(224, 128, 30, 24);
  picture_->setGeometry(pictureRect.x(), pictureRect.y(), kModelPictureSize, kModelPictureSize);
  picture_->setAccessibleName(QStringLiteral("Model picture"));
  description_ = new QLabel(&pane);
  description_->setGeometry(DluRect(197, 157, 92, 19));
  description_->setWordWrap(true);
  description_->setAccessibleName(QStringLiteral("Model description"));
  getProfile_ = new QPushButton(QStringLiteral("Get Profile"), &pane);
  getProfile_->setGeometry(DluRect(213, 178, 50, 14));
  getProfile_->setAccessibleName(getProfile_->text());
  fetch_ = new QPushButton(QStringLiteral("Enable Advanced Profile Browser"), &pane);
  fetch_->setGeometry(DluRect(181, 198, 112, 14));
  FitTextToWidth(*fetch_, fetch_->text(), 12);
  fetch_->setToolTip(UiString(kBrowserTip));
  fetch_->setAccessibleName(fetch_->text());
  fetch_->setAccessibleDescription(fetch_->toolTip());

  connect(manufacturers_, &QListWidget::currentItemChanged, this, &ProfileBrowser::OnManufacturerChanged);
  connect(models_, &QListWidget::currentItemChanged, this, &ProfileBrowser::OnModelChanged);
  connect(getProfile_, &QPushButton::clicked, this, &ProfileBrowser::GetProfile);
  connect(fetch_, &QPushButton::clicked, this, &ProfileBrowser::FetchCatalogue);
}

int ProfileBrowser::CategoryId() const { return DeviceCategoryIdOf(category_()); }

void ProfileBrowser::FillManufacturers() {
  // The rows go before the catalogue may change beneath them.
  {
    const QSignalBlocker blockManufacturers(manufacturers_);
    const QSignalBlocker blockModels(models_);
    manufacturers_->clear();
    models_->clear();
  }
  ClearDetails();
  const profiles::ProfileCatalogue::Section* section = catalogue_.section(CategoryId());
  if (!section) return;
  for (const QString& name : section->manufacturers)
    if (section->models.count(name) > 0) manufacturers_->addItem(name);
}

void ProfileBrowser::OnManufacturerChanged() {
  {
    const QSignalBlocker block(models_);
    models_->clear();
  }
  ClearDetails();
  const QListWidgetItem* row = manufacturers_->currentItem();
  const profiles::ProfileCatalogue::Section* section = catalogue_.section(CategoryId());
  if (!row || !section) return;
  const QString name = row->text();
  int place = 0;
  for (const auto& [manufacturer, record] : section->models) {
    if (manufacturer.compare(name, Qt::CaseInsensitive) == 0) {
      auto* item = new QListWidgetItem(QString::fromStdString(record.model), models_);
      item->setData(kGenerationRole, generation_);
      item->setData(kPlaceRole, place);
      item->setData(kCategoryRole, CategoryId());
    }
    ++place;
  }
}

const profiles::ProfileRecord* ProfileBrowser::RecordOf(const QListWidgetItem* modelRow) const {
  if (!modelRow || modelRow->data(kGenerationRole).toInt() != generation_) return nullptr;
  if (modelRow->data(kCategoryRole).toInt() != CategoryId()) return nullptr;
  const profiles::ProfileCatalogue::Section* section = catalogue_.section(CategoryId());
  const int place = modelRow->data(kPlaceRole).toInt();
  if (!section || place < 0 || std::size_t(place) >= section->models.size()) return nullptr;
  return &std::next(section->models.begin(), place)->second;
}

void ProfileBrowser::ClearDetails() {
  picture_bytes_.clear();
  description_->clear();
  getProfile_->setEnabled(false);
  picture_->SetImage(QString());
  picture_->update();
}

void ProfileBrowser::OnModelChanged() {
  ClearDetails();
  const profiles::ProfileRecord* record = RecordOf(models_->currentItem());
  if (!record) return;
  description_->setText(QString::fromStdString(record->description));
  if (record->imageUrl.empty()) {
    getProfile_->setEnabled(true);
    return;
  }
  SetBusy(true);
  const int generation = generation_;
  QListWidgetItem* row = models_->currentItem();
  service_.FetchPicture(*record, [self = QPointer<ProfileBrowser>(this), generation, row](QByteArray bytes) {
    if (!self) return;
    self->SetBusy(false);
    // The catalogue may have been rebuilt, or another row chosen, meanwhile.
    if (self->generation_ != generation || self->models_->currentItem() != row || !self->RecordOf(row)) return;
    self->picture_bytes_ = bytes;
    self->picture_->SetImageData(bytes);
    self->getProfile_->setEnabled(true);
  });
}

void ProfileBrowser::SetBusy(bool busy) {
  busy_ = busy;
  for (QWidget* control :
       {static_cast<QWidget*>(manufacturers_), static_cast<QWidget*>(models_), static_cast<QWidget*>(fetch_)})
    control->setEnabled(!busy);
  if (busy) getProfile_->setEnabled(false);
}

void ProfileBrowser::FetchCatalogue() {
  if (busy_) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  status_->setText(UiString(kFetchingText));
  // Rows refer to the catalogue: they go first, and old keys stop matching.
  {
    const QSignalBlocker blockManufacturers(manufacturers_);
    const QSignalBlocker blockModels(models_);
    manufacturers_->clear();
    models_->clear();
  }
  ClearDetails();
  ++generation_;
  SetBusy(true);
  service_.FetchCatalogue([self = QPointer<ProfileBrowser>(this)](std::optional<profiles::ProfileCatalogue> fetched) {
    QApplication::restoreOverrideCursor();
    if (!self) return;
    if (fetched) self->catalogue_ = std::move(*fetched);
    self->SetBusy(false);
    self->FillManufacturers();
    self->status_->clear();
  });
}

void ProfileBrowser::GetProfile() {
  if (busy_) return;
  const profiles::ProfileRecord* record = RecordOf(models_->currentItem());
  // A row of another category's list never becomes this category's slot.
  if (!record || record->deviceCategoryId != CategoryId()) return;
  const profiles::ProfileRecord model = *record;
  SetBusy(true);
  service_.FetchAndStore(model, picture_bytes_,
                         [self = QPointer<ProfileBrowser>(this)](std::optional<std::string> path) {
                           if (!self) return;
                           self->SetBusy(false);
                           self->getProfile_->setEnabled(self->RecordOf(self->models_->currentItem()) != nullptr);
                           if (path) self->stored_.ProfileStored(*path);
                         });
}

}  // namespace auralith::ui
