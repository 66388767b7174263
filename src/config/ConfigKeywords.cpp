#include "config/ConfigKeywords.h"

ValType KeywordToValType(const std::string& word)
{
    for (ValType i = 0; i < 7; ++i)
        if (word == TypeKeywords[i])
            return i;
    return vtNone;
}

int StatementKeyword(const std::string& word)
{
    for (int i = 0; i < 3; ++i)
        if (word == StatementKeywords[i])
            return i;
    return -1;
}
