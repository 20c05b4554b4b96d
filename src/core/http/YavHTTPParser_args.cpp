// POST data, argument lists and query strings.  Names are copied into
// blocks of their own so that the tables never point into text that may
// go away (the private copy of a URI, a request buffer that is reused).
#include <cstring>
#include <new>

#include "core/http/YavHTTPParser.h"
#include "core/msg/yav_status.h"

namespace {

// A reference followed in the same placed block by a terminated copy of its
// text; yav_delete of the reference frees both.
YavStringRef* copyName(YavAllocator* allocator, const char* text, int length) {
    void* block = yav_placed_alloc(allocator, sizeof(YavStringRef) + length + 1);
    if (block == nullptr) return nullptr;
    char* copy = static_cast<char*>(block) + sizeof(YavStringRef);
    if (length > 0) std::memcpy(copy, text, static_cast<size_t>(length));
    copy[length] = '\0';
    YavStringRef* name = ::new (block) YavStringRef();
    name->setTerminated(copy, length);
    return name;
}

// Adds value under a copy of name; on failure value is destroyed too, so
// the caller never keeps it.
template <class Table, class Value>
yav_status_t addNamed(Table& table, const YavStringRef& name, Value* value) {
    YavStringRef* key = copyName(table.getAllocator(), name.getData(), name.getLength());
    if (key == nullptr) {
        yav_delete(value);
        return YAV_S_NO_MEMORY;
    }
    yav_status_t status = table.addValue(key, value);
    if (status != 0) {
        yav_delete(key);
        yav_delete(value);
    }
    return status;
}

bool endsPostValue(int c) { return c == '&' || c < 0x20 || c == 0x7f; }

// Items as parsePostData separated by '&', each value decoded and added as
// a String (YavString or YavNCPString).  0 where no further name starts.
template <class Table, class String>
yav_status_t parseDecodedItems(YavBufferCursor& cursor, Table& args, bool skipWhiteSpace) {
    YavAllocator* allocator = args.getAllocator();
    for (;;) {
        if (skipWhiteSpace) {
            YavHTTPParser::wasteWhiteSpace(cursor);
            cursor.mark();
        }
        YavStringRef name;
        YavNCPStringRef value;
        yav_status_t status = YavHTTPParser::parsePostData(cursor, name, value);
        if (status == YAV_S_NOT_AVAILABLE) return 0;
        if (status != 0) return status;
        YavNCPString decoded(allocator);
        status =
            YavHTTPParser::decodeURI(YavStringRef(value.getData(), value.getLength()), decoded);
        if (status != 0) return status;
        String* stored =
            yav_new<String>(allocator, decoded.getData(), decoded.getLength(), allocator);
        if (stored == nullptr) return YAV_S_NO_MEMORY;
        if (!stored->ok()) {
            yav_delete(stored);
            return YAV_S_NO_MEMORY;
        }
        status = addNamed(args, name, stored);
        if (status != 0) return status;
        if (cursor.peek(0) == '&') {
            cursor.advance(1);
            cursor.mark();
        }
    }
}

}  // namespace

yav_status_t YavHTTPParser::parsePostData(YavBufferCursor& cursor, YavStringRef& name,
                                          YavNCPStringRef& value) {
    yav_status_t status = parseToken(cursor, name);
    if (status != 0) return status;
    if (cursor.atEnd()) return YAV_S_HTTP_UNEXPECTED_END;
    if (cursor.peek(0) != '=') return YAV_S_HTTP_BAD_POST_DATA;
    cursor.advance(1);
    cursor.mark();

    int length = 0;
    bool plus = false;
    for (int c = cursor.peek(0); c >= 0 && !endsPostValue(c); c = cursor.peek(++length)) {
        plus = plus || c == '+';
    }
    unsigned char* writable = cursor.getWritableCurrent();
    if (plus) {
        if (writable == nullptr) return YAV_S_INVALID_VALUE;
        for (int i = 0; i < length; ++i) {
            if (writable[i] == '+') writable[i] = ' ';
        }
    }
    value.set(cursor.getCurrentText(), length);
    if (length > 0) {
        cursor.advance(length);
        cursor.mark();
    }
    return 0;
}

yav_status_t YavHTTPParser::parsePostDataSet(YavBufferCursor& cursor, YavHTTPPostDataSet& args) {
    wasteTerminator(cursor);
    cursor.mark();
    return parseDecodedItems<YavHTTPPostDataSet, YavNCPString>(cursor, args, true);
}

yav_status_t YavHTTPParser::parseArgSet(YavBufferCursor& cursor, YavHTTPArgSet& args) {
    YavAllocator* allocator = args.getAllocator();
    cursor.mark();
    for (;;) {
        int equals = cursor.find('=');
        if (equals < 0) return 0;
        YavStringRef name(cursor.getCurrentText(), equals);
        cursor.advance(equals + 1);
        int amp = cursor.find('&');
        int length = amp >= 0 ? amp : cursor.getRemaining();
        YavString* value =
            yav_new<YavString>(allocator, cursor.getCurrentText(), length, allocator);
        yav_status_t status = YAV_S_NO_MEMORY;
        if (value != nullptr && value->ok()) {
            status = addNamed(args, name, value);
        } else {
            yav_delete(value);
        }
        if (status != 0) {
            cursor.reset();
            return status;
        }
        cursor.advance(amp >= 0 ? amp + 1 : length);
        cursor.mark();
    }
}

yav_status_t YavHTTPParser::parseQueryArgsSet(const YavStringRef& uri, YavHTTPArgSet& args) {
    const int length = uri.getLength();
    const int question = uri.find('?');
    if (question < 0) return 0;
    // The values are rewritten ('+' to space) in place: work on a copy.
    char* copy = static_cast<char*>(YavAllocator::allocate(nullptr, static_cast<size_t>(length)));
    if (copy == nullptr) return YAV_S_NO_MEMORY;
    std::memcpy(copy, uri.getData(), static_cast<size_t>(length));
    YavBufferCursor cursor;
    cursor.setWritable(copy, length);
    cursor.advance(question + 1);
    cursor.mark();
    yav_status_t status = parseDecodedItems<YavHTTPArgSet, YavString>(cursor, args, false);
    YavAllocator::deallocate(nullptr, copy);
    return status;
}
