#include "core/ini_file.h"

#include <cstdint>

#include "core/whole_file.h"

namespace kestrix {

bool IniFile::Load(IniDocument& doc) const {
  bool missing = false;
  const std::optional<std::string> text = ReadFileUpTo(path_, SIZE_MAX, &missing);
  if (!text) {
    if (!missing) return false;
    doc = IniDocument();
    return true;
  }
  doc = IniDocument::Parse(*text);
  return true;
}

IniDocument IniFile::Read() const {
  IniDocument doc;
  if (!Load(doc)) return IniDocument();
  return doc;
}

bool IniFile::Save(const IniDocument& doc, bool ownerOnly) {
  return ReplaceFileAtomically(path_, doc.ToText(), ownerOnly);
}

bool IniFile::Update(const std::function<bool(IniDocument&)>& change, bool ownerOnly) {
  IniDocument doc;
  return Load(doc) && change(doc) && Save(doc, ownerOnly);
}

std::vector<IniEntry> IniFile::ReadSection(std::string_view section) const {
  return Read().ReadSection(section);
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                const std::string& defaultValue) const {
  return Read().ReadString(section, key, defaultValue);
}

int IniFile::ReadInteger(std::string_view section, std::string_view key, int defaultValue) const {
  return Read().ReadInteger(section, key, defaultValue);
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool defaultValue) const {
  return Read().ReadBool(section, key, defaultValue);
}

bool IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  return Update([&](IniDocument& doc) { return doc.WriteString(section, key, value); });
}

bool IniFile::WriteInteger(std::string_view section, std::string_view key, int value) {
  return Update([&](IniDocument& doc) { return doc.WriteInteger(section, key, value); });
}

bool IniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  return Update([&](IniDocument& doc) { return doc.WriteBool(section, key, value); });
}

bool IniFile::EraseSection(std::string_view section) {
  return Update([&](IniDocument& doc) {
    doc.EraseSection(section);
    return true;
  });
}

}  // namespace kestrix
