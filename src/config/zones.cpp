#include "config/zones.h"

#include <algorithm>

#include "config/editor_texts.h"
#include "config/text_codec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <utility>

namespace terva::config {

namespace {
bool isBlankOrControl(char32_t c) { return c <= 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F); }
bool isControl(char32_t c) { return c != 0x20 && isBlankOrControl(c); }

template <typename S>
S trimmed(const S& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && isBlankOrControl(static_cast<char32_t>(static_cast<std::make_unsigned_t<typename S::value_type>>(s[b])))) ++b;
  while (e > b && isBlankOrControl(static_cast<char32_t>(static_cast<std::make_unsigned_t<typename S::value_type>>(s[e - 1])))) --e;
  return s.substr(b, e - b);
}

QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
}  // namespace

std::string zonesToBitString(std::uint64_t mask) {
  std::string out(64, '0');
  for (int z = 1; z <= 64; ++z)
    if ((mask >> (z - 1)) & 1U) out[static_cast<std::size_t>(64 - z)] = '1';
  return out;
}

std::optional<std::uint64_t> parseZoneBitString(std::string_view text) {
  const std::string t = trimmed(std::string(text));
  if (t.empty() || t.size() > 64) return std::nullopt;
  std::uint64_t mask = 0;
  for (char ch : t) {
    if (ch != '0' && ch != '1') return std::nullopt;
    mask = (mask << 1) | (ch == '1' ? 1U : 0U);
  }
  return mask;
}

std::optional<char32_t> Edit1KeyPress(char32_t key) {
  if (key == U'0' || key == U'1' || key == 0x08) return key;
  return std::nullopt;
}

std::string defaultZoneName(int zone) { return "Зона прохода " + std::to_string(zone); }

ZoneNames defaultZoneNames() {
  ZoneNames n;
  for (int z = 1; z <= 64; ++z) n[static_cast<std::size_t>(z - 1)] = defaultZoneName(z);
  return n;
}

NamesList fillnamelist(const QString& folder, std::string_view name) {
  NamesList list;
  list.items.emplace_back(texts::kStandardNames);
  const QDir dir(folder);
  const auto entries = dir.entryInfoList({qs(kNamesFilePattern)}, QDir::Files | QDir::Hidden, QDir::Name);
  for (const QFileInfo& e : entries) {
    if (!e.isFile()) continue;
    list.items.push_back(e.fileName().toStdString());
    if (!name.empty() && list.items.back() == name) list.selected = static_cast<int>(list.items.size() - 1);
  }
  return list;
}

NamesList namesListAfterSave(const QString& folder, const QString& savedPath) {
  const QFileInfo saved(savedPath);
  if (isOtherFolder(saved.absolutePath(), folder)) return fillnamelist(folder);
  return fillnamelist(folder, saved.fileName().toStdString());
}

NamesChoice chooseNamesSet(const NamesList& list, int index, int previousSelected, const QString& folder,
                           const ZoneNames& current) {
  NamesChoice out{current, index, std::nullopt};
  if (index <= 0 || static_cast<std::size_t>(index) >= list.items.size()) {
    out.names = defaultZoneNames();
    out.selected = 0;
    return out;
  }
  const QString path = QDir(folder).filePath(qs(list.items[static_cast<std::size_t>(index)]));
  if (!QFileInfo(path).isFile()) {
    out.selected = 0;  // vanished since listing: back to the standard item, names kept
    return out;
  }
  NamesRead r = readNamesFile(path, current);
  if (r.error) {
    out.error = r.error;
    out.selected = previousSelected;
    return out;
  }
  out.names = std::move(r.names);
  return out;
}

NamesRead namesFromText(std::string_view bytes, const ZoneNames& current) {
  NamesRead out{std::nullopt, current};
  std::u32string text;
  std::string_view body = bytes;
  if (body.substr(0, 3) == "\xEF\xBB\xBF") body.remove_prefix(3);
  if (auto u = decodeUtf8(body))
    text = std::move(*u);
  else
    text = decodeCp1251(bytes);

  // Lines end with CR LF, LF or CR; an ending after the last line adds none.
  std::vector<std::u32string> lines;
  std::u32string cur;
  bool pending = false;
  for (std::size_t i = 0; i < text.size() && lines.size() < 64; ++i) {
    const char32_t c = text[i];
    if (c == U'\r' || c == U'\n') {
      if (c == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n') ++i;
      lines.push_back(std::move(cur));
      cur.clear();
      pending = false;
    } else {
      cur.push_back(c);
      pending = true;
    }
  }
  if (pending && lines.size() < 64) lines.push_back(std::move(cur));

  ZoneNames names = current;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::u32string name = trimmed(lines[i]);
    for (char32_t c : name) {
      if (isControl(c))
        return {"Неверный файл имён зон прохода: в строке " + std::to_string(i + 1) + " есть управляющий символ.",
                current};
    }
    names[i] = encodeUtf8(name);
  }
  out.names = std::move(names);
  return out;
}

NamesRead readNamesFile(const QString& path, const ZoneNames& current) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return {"Не удалось прочитать файл имён зон прохода: " + file.errorString().toStdString(), current};
  if (file.size() > kMaxNamesFileBytes) return {std::string("Неверный файл имён зон прохода: файл слишком велик."), current};
  const QByteArray bytes = file.read(kMaxNamesFileBytes + 1);
  if (file.error() != QFileDevice::NoError)
    return {"Не удалось прочитать файл имён зон прохода: " + file.errorString().toStdString(), current};
  if (bytes.size() > kMaxNamesFileBytes) return {std::string("Неверный файл имён зон прохода: файл слишком велик."), current};
  return namesFromText(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), current);
}

std::optional<std::string> saveNamesFile(const QString& path, const ZoneNames& names) {
  std::string out;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const auto zone = std::to_string(i + 1);
    const auto u = decodeUtf8(names[i]);
    if (!u) return "Имя зоны прохода " + zone + " не является текстом.";
    for (char32_t c : *u) {
      if (isControl(c)) return "Имя зоны прохода " + zone + " содержит управляющий символ.";
      const auto b = encodeCp1251(c);
      if (!b)
        return "Имя зоны прохода " + zone + " («" + names[i] +
               "») содержит символы, которых нет в кодировке Windows-1251. Файл не сохранён.";
      out.push_back(*b);
    }
    out += "\r\n";
  }
  // Reading takes a file whose bytes are valid UTF-8 as UTF-8. Should these
  // Windows-1251 bytes happen to be (say "Рё", D0 B8), they would come back as
  // other letters: such a file is written as UTF-8 with a byte-order mark.
  const bool asciiOnly = std::all_of(out.begin(), out.end(), [](char ch) { return static_cast<unsigned char>(ch) < 0x80; });
  if (!asciiOnly && isValidUtf8(out)) {
    out = "\xEF\xBB\xBF";
    for (const auto& name : names) out += name + "\r\n";
  }
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return file.errorString().toStdString();
  if (file.write(out.data(), static_cast<qint64>(out.size())) != static_cast<qint64>(out.size())) {
    const std::string err = file.errorString().toStdString();
    file.cancelWriting();
    return err;
  }
  if (!file.commit()) return file.errorString().toStdString();
  return std::nullopt;
}

ZoneNamesModel::ZoneNamesModel(QString settingsFolder)
    : folder_(std::move(settingsFolder)), names_(defaultZoneNames()), list_(fillnamelist(folder_)) {}

void ZoneNamesModel::setName(int zone, std::string name) {
  if (zone >= 1 && zone <= 64) names_[static_cast<std::size_t>(zone - 1)] = std::move(name);
}

void ZoneNamesModel::refreshList(std::string_view name) { list_ = fillnamelist(folder_, name); }

std::optional<std::string> ZoneNamesModel::choose(int index) {
  NamesChoice c = chooseNamesSet(list_, index, list_.selected, folder_, names_);
  names_ = std::move(c.names);
  list_.selected = c.selected;
  return c.error;
}

bool ZoneNamesModel::asksBeforeSaving(const QString& path) const {
  return isOtherFolder(QFileInfo(path).absolutePath(), folder_);
}

std::optional<std::string> ZoneNamesModel::save(const QString& path) {
  if (auto err = saveNamesFile(path, names_)) return err;
  list_ = namesListAfterSave(folder_, path);
  return std::nullopt;
}

bool isOtherFolder(const QString& chosenFolder, const QString& settingsFolder) {
  QString a = QDir::cleanPath(QDir::fromNativeSeparators(chosenFolder));
  QString b = QDir::cleanPath(QDir::fromNativeSeparators(settingsFolder));
#ifdef Q_OS_WIN
  return a.compare(b, Qt::CaseInsensitive) != 0;
#else
  return a != b;
#endif
}

}  // namespace terva::config
