#include "profile_server/profile_catalogue.h"

#include <gtest/gtest.h>

#include <vector>

namespace auralith::profiles {
namespace {

std::vector<std::string> Models(const ProfileCatalogue& catalogue, int id) {
  std::vector<std::string> models;
  for (const auto& [maker, record] : catalogue.section(id)->models)
    models.push_back(maker.toStdString() + "/" + record.model);
  return models;
}

using Strings = std::vector<std::string>;

const QByteArray kTwoDevices = R"(<?xml version="1.0" encoding="UTF-8"?>
<catalogue version="2">
 <device><id>1</id>
  <manufacturer><name>Kestrel</name>
   <model><name>Book 14</name><description>thin</description><file_url>http://h/f/a.hvnp</file_url>
     <image_url>http://h/p/a.png</image_url><added>2026-01-01</added><updated>2026-02-01</updated></model>
   <model><name>Book 16</name><description/><file_url>http://h/f/b.hvnp</file_url></model>
  </manufacturer>
 </device>
 <device><id>3</id>
  <manufacturer><name>Tamsin</name>
   <model><name>Studio</name><description>closed</description><file_url>http://h/f/c.hvnp</file_url></model>
   <model><name>Open</name><description>open</description><file_url>http://h/f/d.hvnp</file_url></model>
  </manufacturer>
 </device>
</catalogue>)";

TEST(ParseCatalogue, TwoDevicesFillTheirSectionsOnly) {
  ProfileCatalogue catalogue;
  const CatalogueParse parse = ParseCatalogue(kTwoDevices, catalogue);
  EXPECT_TRUE(parse.complete);
  EXPECT_EQ(catalogue.section(1)->manufacturers, QStringList{"Kestrel"});
  EXPECT_EQ(catalogue.section(3)->manufacturers, QStringList{"Tamsin"});
  EXPECT_EQ(Models(catalogue, 1), (Strings{"Kestrel/Book 14", "Kestrel/Book 16"}));
  EXPECT_EQ(Models(catalogue, 3), (Strings{"Tamsin/Studio", "Tamsin/Open"}));
  EXPECT_TRUE(catalogue.section(2)->manufacturers.isEmpty());
  EXPECT_TRUE(catalogue.section(2)->models.empty());
  EXPECT_EQ(catalogue.section(0), nullptr);
  EXPECT_EQ(catalogue.section(4), nullptr);

  const ProfileRecord& first = catalogue.section(1)->models.begin()->second;
  EXPECT_EQ(first.deviceCategoryId, 1);
  EXPECT_EQ(first.manufacturer, "Kestrel");
  EXPECT_EQ(first.location, "http://h/f/a.hvnp");
  EXPECT_EQ(first.imageUrl, "http://h/p/a.png");
  EXPECT_EQ(first.description, "thin");
  EXPECT_EQ(first.added, "2026-01-01");
  EXPECT_EQ(first.updated, "2026-02-01");
  EXPECT_EQ(first.imageFileName, "");
}

TEST(ParseCatalogue, MissingDescriptionCarriesOverButFileAndImageDoNot) {
  ProfileCatalogue catalogue;
  ParseCatalogue(kTwoDevices, catalogue);
  const ProfileRecord& second = std::next(catalogue.section(1)->models.begin())->second;
  EXPECT_EQ(second.description, "thin");
  EXPECT_EQ(second.added, "2026-01-01");
  EXPECT_EQ(second.location, "http://h/f/b.hvnp");
  EXPECT_EQ(second.imageUrl, "");
}

TEST(ParseCatalogue, ModelWithoutFileUrlIsNotListed) {
  ProfileCatalogue catalogue;
  ParseCatalogue(R"(<c><device><id>2</id><manufacturer><name>M</name>
      <model><name>A</name><file_url>http://h/a.hvnp</file_url></model>
      <model><name>B</name></model></manufacturer></device></c>)",
                 catalogue);
  EXPECT_EQ(Models(catalogue, 2), (Strings{"M/A"}));
}

TEST(ParseCatalogue, UnknownDeviceIdIsListedNowhere) {
  ProfileCatalogue catalogue;
  ParseCatalogue(R"(<c><device><id>4</id><manufacturer><name>Far</name>
      <model><name>X</name><file_url>http://h/x.hvnp</file_url></model></manufacturer></device>
      <device><id>two</id><manufacturer><name>Word</name>
      <model><name>Y</name><file_url>http://h/y.hvnp</file_url></model></manufacturer></device></c>)",
                 catalogue);
  EXPECT_TRUE(catalogue.empty());
}

TEST(ParseCatalogue, EmptyModelElementAddsNothing) {
  ProfileCatalogue catalogue;
  ParseCatalogue(R"(<c><device><id>1</id><manufacturer><name>M</name>
      <model><name>A</name><file_url>http://h/a.hvnp</file_url></model><model/></manufacturer></device></c>)",
                 catalogue);
  EXPECT_EQ(Models(catalogue, 1), (Strings{"M/A"}));
}

TEST(ParseCatalogue, DeviceIdReadsLikeADecimalPrefix) {
  ProfileCatalogue catalogue;
  ParseCatalogue(R"(<c><device><id> 3rd</id><manufacturer><name>M</name>
      <model><name>A</name><file_url>http://h/a.hvnp</file_url></model></manufacturer></device></c>)",
                 catalogue);
  EXPECT_EQ(Models(catalogue, 3), (Strings{"M/A"}));
}

TEST(ParseCatalogue, ManufacturerNamedTwiceIsListedTwiceAndModelsKeepReplyOrder) {
  ProfileCatalogue catalogue;
  ParseCatalogue(R"(<c><device><id>1</id>
      <manufacturer><name>b</name><model><name>1</name><file_url>u1</file_url></model></manufacturer>
      <manufacturer><name>Z</name><model><name>2</name><file_url>u2</file_url></model></manufacturer>
      <manufacturer><name>b</name><model><name>3</name><file_url>u3</file_url></model></manufacturer>
      </device></c>)",
                 catalogue);
  EXPECT_EQ(catalogue.section(1)->manufacturers, (QStringList{"b", "Z", "b"}));
  // Code unit order: capitals before small letters.
  EXPECT_EQ(Models(catalogue, 1), (Strings{"Z/2", "b/1", "b/3"}));
}

TEST(ParseCatalogue, FaultKeepsWhatCameBefore) {
  ProfileCatalogue catalogue;
  const CatalogueParse parse = ParseCatalogue(R"(<c><device><id>1</id><manufacturer><name>M</name>
      <model><name>A</name><file_url>u</file_url></model><model><name>B</nam></model>)",
                                              catalogue);
  EXPECT_FALSE(parse.complete);
  EXPECT_FALSE(parse.error.isEmpty());
  EXPECT_EQ(Models(catalogue, 1), (Strings{"M/A"}));
}

TEST(ParseCatalogue, DocumentTypeDeclarationEndsTheParse) {
  ProfileCatalogue catalogue;
  ParseCatalogue(kTwoDevices, catalogue);
  const CatalogueParse parse = ParseCatalogue(
      R"(<!DOCTYPE c [<!ENTITY n "M">]><c><device><id>1</id><manufacturer><name>&n;</name>
      <model><name>A</name><file_url>u</file_url></model></manufacturer></device></c>)",
      catalogue);
  EXPECT_FALSE(parse.complete);
  EXPECT_TRUE(catalogue.empty());
}

TEST(ParseCatalogue, EntitiesAndForeignMarkupAreHandled) {
  ProfileCatalogue catalogue;
  ParseCatalogue(R"(<c><device><id>1</id><!-- note --><manufacturer lang="en"><name>Smith &amp; Sons</name>
      <model><name><![CDATA[ignored]]>Box</name><extra>x</extra><file_url>u?a=1&amp;b=2</file_url></model>
      </manufacturer></device></c>)",
                 catalogue);
  ASSERT_EQ(catalogue.section(1)->models.size(), 1u);
  const ProfileRecord& record = catalogue.section(1)->models.begin()->second;
  EXPECT_EQ(record.manufacturer, "Smith & Sons");
  EXPECT_EQ(record.model, "Box");
  EXPECT_EQ(record.location, "u?a=1&b=2");
}

TEST(ParseCatalogue, RebuildEmptiesTheOldContents) {
  ProfileCatalogue catalogue;
  ParseCatalogue(kTwoDevices, catalogue);
  ParseCatalogue("<c/>", catalogue);
  EXPECT_TRUE(catalogue.empty());
}

}  // namespace
}  // namespace auralith::profiles
