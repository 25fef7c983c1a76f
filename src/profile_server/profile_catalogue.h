#pragma once

#include "profiles/profile_record.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <map>

// The catalogue of device profiles the profile server offers, by device
// category id (1 built-in speakers, 2 desktop speakers, 3 headphones).

namespace auralith::profiles {

class ProfileCatalogue {
 public:
  static constexpr int kFirstCategoryId = 1;
  static constexpr int kLastCategoryId = 3;

  // Manufacturer name to its models, ordered by UTF-16 code units (case
  // matters), models of one manufacturer in reply order. The browser's
  // model rows point at these records, so they stay put until the
  // catalogue is rebuilt.
  using ModelMap = std::multimap<QString, ProfileRecord>;

  struct Section {
    QStringList manufacturers;  // in reply order; a name given twice is listed twice
    ModelMap models;
  };

  static bool IsCategoryId(int id) { return id >= kFirstCategoryId && id <= kLastCategoryId; }

  // The section of a device category id; null for any other id.
  Section* section(int categoryId);
  const Section* section(int categoryId) const;

  void clear();
  bool empty() const;

 private:
  std::array<Section, kLastCategoryId> sections_;
};

struct CatalogueParse {
  bool complete = true;  // false: a fault or a DTD ended the reading early
  QString error;
};

// Empties the catalogue and fills it from a catalogue reply. A fault keeps
// whatever came before it. Description, device category id and manufacturer
// carry over from model to model; a model's file and image URL do not, and
// a model without a file URL is not listed.
CatalogueParse ParseCatalogue(const QByteArray& reply, ProfileCatalogue& catalogue);

}  // namespace auralith::profiles
