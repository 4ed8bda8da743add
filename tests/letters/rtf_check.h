#pragma once
// What every written document must be: one header, groups that balance and close only at the
// end, the closing brace on the last line.
#include <gtest/gtest.h>

#include <string>

namespace orbelan::test {

inline void ExpectWholeDocument(const std::string& doc) {
    SCOPED_TRACE(doc.substr(0, 2000));
    ASSERT_EQ(doc.rfind("{\\rtf1", 0), 0u);
    EXPECT_EQ(doc.find("{\\rtf1", 1), std::string::npos);
    ASSERT_GE(doc.size(), 3u);
    EXPECT_EQ(doc.substr(doc.size() - 3), "}\r\n");
    int depth = 0;
    size_t closedAt = std::string::npos;
    for (size_t i = 0; i < doc.size(); ++i) {
        if (doc[i] == '\\') {
            ++i;  // an escaped brace or backslash
        } else if (doc[i] == '{') {
            ++depth;
        } else if (doc[i] == '}' && --depth == 0) {
            closedAt = i;
            break;
        }
        ASSERT_GE(depth, 0) << "at " << i;
    }
    EXPECT_EQ(closedAt, doc.size() - 3) << "the document closes before its end";
}

}  // namespace orbelan::test
