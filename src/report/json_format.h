#pragma once
// What Corvalis's JSON files say about themselves in their first two fields: the name of
// the schema they follow (doc/schema/NAME.schema.json) and the version of its format.
// The version goes up when a field is removed or changes meaning; a field added beside
// the others keeps it (readers leave out fields they do not know).

namespace corvalis {

constexpr const char* RunJsonSchema = "corvalis-run";  // BASE.json
constexpr int RunJsonFormatVersion = 1;
constexpr const char* CompareJsonSchema = "corvalis-compare";  // BASE.compare.json
constexpr int CompareJsonFormatVersion = 1;
constexpr const char* AbJsonSchema = "corvalis-ab";  // BASE.ab.json
constexpr int AbJsonFormatVersion = 1;

}  // namespace corvalis
