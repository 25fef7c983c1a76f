#include "profile_server/profile_catalogue.h"

#include "net/xml_nodes.h"

namespace auralith::profiles {

namespace {
std::size_t SectionIndex(int categoryId) {
  return static_cast<std::size_t>(categoryId - ProfileCatalogue::kFirstCategoryId);
}
}  // namespace

ProfileCatalogue::Section* ProfileCatalogue::section(int categoryId) {
  return IsCategoryId(categoryId) ? &sections_[SectionIndex(categoryId)] : nullptr;
}

const ProfileCatalogue::Section* ProfileCatalogue::section(int categoryId) const {
  return IsCategoryId(categoryId) ? &sections_[SectionIndex(categoryId)] : nullptr;
}

void ProfileCatalogue::clear() {
  for (Section& s : sections_) {
    s.manufacturers.clear();
    s.models.clear();
  }
}

bool ProfileCatalogue::empty() const {
  for (const Section& s : sections_) {
    if (!s.manufacturers.isEmpty() || !s.models.empty()) return false;
  }
  return true;
}

namespace {

enum class Context { None, Device, Manufacturer, Model };

// Like the C library's decimal reading: leading blanks, a sign, digits up
// to the first other character; 0 when there are none or they overflow.
int DecimalPrefix(const QString& text) {
  qsizetype i = 0;
  while (i < text.size() && text[i].isSpace()) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  long long value = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    value = value * 10 + (text[i].unicode() - u'0');
    if (value > 0x7FFFFFFF) return 0;
  }
  return static_cast<int>(negative ? -value : value);
}

class CatalogueBuilder {
 public:
  explicit CatalogueBuilder(ProfileCatalogue& catalogue) : catalogue_(catalogue) {}

  void Start(const QString& name) {
    if (name == u"device") {
      context_ = Context::Device;
    } else if (name == u"manufacturer") {
      context_ = Context::Manufacturer;
    } else if (name == u"model") {
      context_ = Context::Model;
      // A model names its own file and picture, or none.
      work_.location.clear();
      work_.imageUrl.clear();
    }
    text_.clear();
  }

  void Text(const QString& text) { text_ = text; }

  void End(const QString& name) {
    if (name == u"model") {
      AddModel();
    } else if (name == u"id") {
      if (context_ == Context::Device) work_.deviceCategoryId = DecimalPrefix(text_);
    } else if (name == u"name") {
      if (context_ == Context::Manufacturer) {
        work_.manufacturer = text_.toStdString();
        if (ProfileCatalogue::Section* s = catalogue_.section(work_.deviceCategoryId)) s->manufacturers.append(text_);
      } else if (context_ == Context::Model) {
        work_.model = text_.toStdString();
      }
    } else if (context_ == Context::Model) {
      if (std::string* field = ModelField(name)) *field = text_.toStdString();
    }
  }

 private:
  std::string* ModelField(const QString& name) {
    if (name == u"description") return &work_.description;
    if (name == u"file_url") return &work_.location;
    if (name == u"image_url") return &work_.imageUrl;
    if (name == u"added") return &work_.added;
    if (name == u"updated") return &work_.updated;
    return nullptr;
  }

  void AddModel() {
    ProfileCatalogue::Section* s = catalogue_.section(work_.deviceCategoryId);
    if (!s || work_.location.empty()) return;
    // multimap::insert places an equal key after the ones already there.
    s->models.insert({QString::fromStdString(work_.manufacturer), work_});
  }

  ProfileCatalogue& catalogue_;
  ProfileRecord work_;
  QString text_;
  Context context_ = Context::None;
};

}  // namespace

CatalogueParse ParseCatalogue(const QByteArray& reply, ProfileCatalogue& catalogue) {
  catalogue.clear();
  CatalogueBuilder builder(catalogue);
  net::XmlNodeReader reader(reply);
  for (;;) {
    switch (reader.Next()) {
      case net::XmlNodeReader::Node::ElementStart:
        builder.Start(reader.Value());
        break;
      case net::XmlNodeReader::Node::Text:
        builder.Text(reader.Value());
        break;
      case net::XmlNodeReader::Node::ElementEnd:
        builder.End(reader.Value());
        break;
      case net::XmlNodeReader::Node::End:
        return CatalogueParse{!reader.Failed(), reader.Error()};
    }
  }
}

}  // namespace auralith::profiles
