#include "core/job_record.h"

#include "core/ini_document.h"

#include <algorithm>
#include <string_view>
#include <type_traits>

namespace kestrix {

namespace {

constexpr char kSeparator = '`';

// One entry per field in the stored order: fields 4 and 5 come after the
// others, which every existing settings file relies on; fields added later
// go after them, so that older files still read.
template <typename Visitor>
void VisitFieldsInTextOrder(TJobRecord& r, Visitor&& visit) {
  visit(r.ProjectName);
  visit(r.editUrl);
  visit(r.checkLocalize);
  visit(r.checkReplicate);
  visit(r.checkLoadScript);
  visit(r.checkLoadEmbed);
  visit(r.checkLoadStyle);
  visit(r.radioThisPath);
  visit(r.radioThisServer);
  visit(r.checkOtherServers);
  visit(r.checkLoadImg);
  visit(r.editDepth);
  visit(r.lclcheckKoi8);
  visit(r.lclCheckRetriveFile);
  visit(r.lclCheckIgnoreFile);
  visit(r.lclcheckRetrieveLink);
  visit(r.lclcheckIgnoreLink);
  visit(r.lcleditRetriveFile);
  visit(r.lcleditRetrieveLink);
  visit(r.lcleditIgnoreFile);
  visit(r.lcleditIgnoreLink);
  visit(r.radioRmtThisPath);
  visit(r.radioRmtThisServer);
  visit(r.checkRmtLoadImg);
  visit(r.EditRmtDepth);
  visit(r.rmtcheckKoi8);
  visit(r.rmtCheckRetriveFile);
  visit(r.rmtCheckIgnoreFile);
  visit(r.rmtcheckRetrieveLink);
  visit(r.rmtcheckIgnoreLink);
  visit(r.rmteditRetrieveFile);
  visit(r.rmteditRetrieveLink);
  visit(r.rmteditIgnoreFile);
  visit(r.rmteditIgnoreLink);
  visit(r.checkAddHtmExt);
  visit(r.checkLinkToUrl);
  visit(r.checkRecordWarc);
}

}  // namespace

void InitJobRecord(TJobRecord& record) {
  record = TJobRecord{};
}

std::string JobRecordToText(const TJobRecord& record) {
  std::string text;
  TJobRecord copy = record;
  VisitFieldsInTextOrder(copy, [&text](const auto& field) {
    using Field = std::decay_t<decltype(field)>;
    if constexpr (std::is_same_v<Field, std::string>) {
      text += field;
    } else if constexpr (std::is_same_v<Field, bool>) {
      text += field ? '1' : '0';
    } else {
      text += std::to_string(field);
    }
    text += kSeparator;
  });
  return text;
}

void ParseJobRecordText(const std::string& text, const std::string& projectName,
                        TJobRecord& record) {
  std::string_view rest = text;
  bool failed = false;
  VisitFieldsInTextOrder(record, [&rest, &failed](auto& field) {
    if (failed) return;
    // With no separator left the field is empty and the text stays as it is.
    std::string_view taken;
    const size_t sep = rest.find(kSeparator);
    if (sep != std::string_view::npos) {
      taken = rest.substr(0, sep);
      rest.remove_prefix(sep + 1);
    }
    using Field = std::decay_t<decltype(field)>;
    if constexpr (std::is_same_v<Field, std::string>) {
      field.assign(taken);
    } else {
      const std::optional<int> value = ParseDecimalInt(taken);
      if (!value) {
        failed = true;
      } else if constexpr (std::is_same_v<Field, bool>) {
        // A stored boolean is one byte: only the low byte of the number counts.
        field = (static_cast<uint32_t>(*value) & 0xFFu) != 0;
      } else {
        field = *value;
      }
    }
  });
  if (failed) record.ProjectName = projectName;
  record.editDepth = std::min(record.editDepth, kMaxJobDepth);
  record.EditRmtDepth = std::min(record.EditRmtDepth, kMaxJobDepth);
}

}  // namespace kestrix
