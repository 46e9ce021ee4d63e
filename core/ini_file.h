// The settings file on disk. Nothing is cached: every call opens the file,
// works and lets go, so several owners (options, store, main window) can
// each keep their own IniFile for the same path. Every change replaces the
// whole file atomically (a temporary file beside it, flushed to disk, then
// renamed over the old one), so a crash or a full disk never leaves a
// half-written settings file; when a change fails the old file stays intact
// and the call returns false.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/ini_document.h"

namespace kestrix {

class IniFile {
 public:
  explicit IniFile(std::string path) : path_(std::move(path)) {}

  const std::string& Path() const { return path_; }

  // Reads the whole file into `doc`. A missing file reads as an empty
  // document; false only when the file exists but cannot be read.
  bool Load(IniDocument& doc) const;
  // The whole file, or an empty document when it cannot be read.
  IniDocument Read() const;
  // Replaces the file's contents by `doc` in one atomic step. With
  // `ownerOnly` the new file is readable by its owner only whatever the old
  // one allowed (for writers that store a password).
  bool Save(const IniDocument& doc, bool ownerOnly = false);
  // Loads, lets `change` edit the document and saves it, all as one file
  // replace. Nothing is written when the file cannot be read or when
  // `change` returns false.
  bool Update(const std::function<bool(IniDocument&)>& change, bool ownerOnly = false);

  std::vector<IniEntry> ReadSection(std::string_view section) const;
  std::string ReadString(std::string_view section, std::string_view key,
                         const std::string& defaultValue) const;
  int ReadInteger(std::string_view section, std::string_view key, int defaultValue) const;
  bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;

  bool WriteString(std::string_view section, std::string_view key, std::string_view value);
  bool WriteInteger(std::string_view section, std::string_view key, int value);
  bool WriteBool(std::string_view section, std::string_view key, bool value);
  bool EraseSection(std::string_view section);

 private:
  std::string path_;
};

}  // namespace kestrix
