#include "core/buffers/YavBufferCursor.h"

#include <gtest/gtest.h>

#include <string>

#include "core/buffers/yav_string_test_aids.h"

namespace {

TEST(YavBufferCursorTest, NeverReadsPastTheEnd) {
    ExactUnits<char> bytes = exactChars("ab");
    YavBufferCursor c(bytes.data(), bytes.size());
    EXPECT_EQ(c.peek(), 'a');
    EXPECT_EQ(c.peek(1), 'b');
    EXPECT_EQ(c.peek(2), -1);
    EXPECT_EQ(c.peek(-1), -1);
    EXPECT_EQ(c.get(), 'a');
    EXPECT_EQ(c.get(), 'b');
    EXPECT_EQ(c.get(), -1);
    EXPECT_TRUE(c.atEnd());
    EXPECT_EQ(c.getOffset(), 2);
    EXPECT_FALSE(c.skip(1));
    EXPECT_FALSE(c.startsWith("x", 1));
    EXPECT_EQ(c.find('a'), -1);
    EXPECT_DEATH(c.advance(1), "m_remaining >= 0");

    YavBufferCursor empty;
    EXPECT_TRUE(empty.atEnd());
    EXPECT_EQ(empty.get(), -1);
}

TEST(YavBufferCursorTest, ResetReturnsToTheLastMark) {
    ExactUnits<char> bytes = exactChars("GET /x HTTP/1.0");
    YavBufferCursor c(bytes.data(), bytes.size());
    c.advance(3);
    EXPECT_EQ(c.getSinceMark(), 3);
    c.reset();  // never marked: back to the start
    EXPECT_EQ(c.getOffset(), 0);

    c.advance(4);
    c.mark();
    EXPECT_EQ(c.getMarkRemaining(), 11);
    ASSERT_TRUE(c.skip(2));
    EXPECT_EQ(c.getSinceMark(), 2);
    c.reset();
    EXPECT_EQ(c.getOffset(), 4);
    c.reset();  // reset twice: still the mark
    EXPECT_TRUE(c.startsWith("/x HTTP", 7));
    EXPECT_FALSE(c.startsWith("/x HTTP/1.0!", 12));
    EXPECT_EQ(c.find(' '), 2);

    // set() starts over with the mark at the new start.
    c.set("xy", 2);
    c.advance(1);
    c.reset();
    EXPECT_EQ(c.peek(), 'x');
}

TEST(YavBufferCursorTest, WritesOnlyThroughWritableInput) {
    YavBuffer buffer;
    ASSERT_EQ(buffer.set("a+b"), 0u);
    YavBufferCursor writable(buffer);
    writable.advance(1);
    ASSERT_NE(writable.getWritableCurrent(), nullptr);
    *writable.getWritableCurrent() = ' ';
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.getData()), 3), "a b");

    const YavBuffer& constBuffer = buffer;
    EXPECT_EQ(YavBufferCursor(constBuffer).getWritableCurrent(), nullptr);
    buffer.refer("const", 5);
    EXPECT_EQ(YavBufferCursor(buffer).getWritableCurrent(), nullptr);
}

}  // namespace
