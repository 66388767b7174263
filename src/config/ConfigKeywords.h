#pragma once
// The two keyword tables of the configuration language and the value type codes.
#include <cstdint>
#include <string>

using ValType = std::uint8_t;

inline constexpr ValType vtContext = 0;
inline constexpr ValType vtInteger = 1;
inline constexpr ValType vtFloat = 2;
inline constexpr ValType vtBool = 3;
inline constexpr ValType vtString = 4;
inline constexpr ValType vtNone = 5; // a word that is not a type ("endcontext" or any other)
inline constexpr ValType vtPointer = 6;

// "context", "integer", "float", "bool", "string", "endcontext", "pointer", in that order.
inline constexpr const char* TypeKeywords[] = {"context", "integer", "float",  "bool",
                                               "string",  "endcontext", "pointer"};
// "morph", "auto_morph", "include", in that order.
inline constexpr const char* StatementKeywords[] = {"morph", "auto_morph", "include"};

// One TAB: the writer's indentation unit.
inline const std::string TabText = "\t";

// The position of word in TypeKeywords (so "endcontext" gives vtNone), vtNone for other words.
[[nodiscard]] ValType KeywordToValType(const std::string& word);
// The position of word in StatementKeywords, -1 for other words.
[[nodiscard]] int StatementKeyword(const std::string& word);
// The entry of either table that word is, or null.
[[nodiscard]] const char* ReservedKeyword(const std::string& word);
