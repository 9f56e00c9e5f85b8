#pragma once
// What terva-cli prints: a configuration in words or as JSON, an identifier
// as one line or one JSON object.
#include <QString>

#include <string>
#include <string_view>

#include "config/config_record.h"
#include "config/reader_config.h"
#include "protocol/idmessage.h"

namespace terva::cli {

// The kind as the reading page labels it ("UID", "Phone ID", ...).
std::string_view kindLabel(IdKind kind);

// The rendered text as one output line in UTF-8: the characters the window
// would show, control characters replaced by U+FFFD so one card stays one line.
std::string identifierLine(std::string_view rendered);
// {"kind":"UID","identifier":"1A2B3C","raw":"314132423343","text":"1715004"}:
// raw is the hex text of the identifier's bytes as the reader sent them.
std::string identifierJson(const IdMessage& msg, std::string_view rendered);

// A JSON string literal, quotes included.
std::string jsonString(const QString& s);

// The configuration in words, one setting a line, with the page's labels.
// `items` (may be null) are the record's items, for the checksums the reader
// reports beside it.
std::string describeConfig(const config::ReaderConfig& c, const config::ConfigItems* items);
// The same as one JSON object (indented), with the record the program builds.
std::string configJson(const config::ReaderConfig& c, const config::ConfigItems* items);

}  // namespace terva::cli
