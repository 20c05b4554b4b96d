// YavMessage: what a request view and a response view have in common -- the
// headers of an HTTP message and the two points at which the web-server
// module turns what the plug-in changed into its own structures.
//
// The web-server module implements the views by derivation (YavRequest,
// YavResponse); the plug-in core calls them while it handles a request.
// Every operation returns a status: 0 on success, YAV_S_NOT_SUPPORTED when
// the view does not offer the operation, YAV_S_NOT_AVAILABLE when it is
// offered but the datum is absent (for example a header the message does not
// carry), or another failure status.
//
// Memory: references handed out by the getters point into memory the view
// (or the web server behind it) owns; they stay valid until the view is
// destroyed or the same datum is changed through the view.  Values given to
// the setters belong to the caller and are valid only during the call: a
// view that keeps a value copies it.  The allocator given at construction
// belongs to the caller and must outlive the view.
//
// Threads: a view belongs to one request and is used by one thread at a
// time; it carries no locks.  Not copyable.
#ifndef YAV_PLUGIN_CORE_YAVMESSAGE_H
#define YAV_PLUGIN_CORE_YAVMESSAGE_H

#include "core/buffers/YavString.h"
#include "core/memory/YavAllocator.h"
#include "core/sundry/yav_base.h"

class YAV_EXPORT YavMessage {
  public:
    // allocator: the memory of the request (null = process heap).
    explicit YavMessage(YavAllocator* allocator);
    virtual ~YavMessage();
    YAV_DISALLOW_COPY(YavMessage);

    // The value of the first header called name (compared without regard to
    // ASCII case), converted to UTF-8.  YAV_S_NOT_AVAILABLE when the message
    // has no such header.
    virtual yav_status_t getUTF8Header(const YavStringRef& name, YavStringRef* value) = 0;
    // The same, as the bytes of the message (network code page).
    virtual yav_status_t getNCPHeader(const YavStringRef& name, YavNCPStringRef* value) = 0;
    // The value of the next header of the name last asked for with
    // getUTF8Header / getNCPHeader; YAV_S_NOT_AVAILABLE after the last one.
    virtual yav_status_t getNextUTF8Header(YavStringRef* value) = 0;
    virtual yav_status_t getNextNCPHeader(YavNCPStringRef* value) = 0;
    // Replaces every header called name by one with value (adds it when
    // there is none).  value is in the network code page.
    virtual yav_status_t setHeader(const YavStringRef& name, const YavStringRefT<char>& value) = 0;
    // Adds one more header called name, keeping those there are.
    virtual yav_status_t addHeader(const YavStringRef& name, const YavStringRefT<char>& value) = 0;

    // Called once the plug-in has changed all it is going to change in the
    // headers, before any body operation: the module writes the headers
    // into its server's structures.  Default: YAV_S_NOT_SUPPORTED.
    virtual yav_status_t finalizeHeader();
    // Called after the last body operation.  Default: YAV_S_NOT_SUPPORTED.
    virtual yav_status_t finalizeBody();

    // The value of the "Content-Length" header as a number: decimal, or
    // hexadecimal after "0x", or octal after a leading 0.  The status of
    // getUTF8Header when the header cannot be read; YAV_S_INVALID_SYS_INPUT
    // when the value is empty, negative, holds anything after the number or
    // does not fit in 32 bits (*length is then unspecified).
    // REQUIRES: length != nullptr.
    virtual yav_status_t getContentLength(unsigned int* length);

    // The allocator given at construction.
    YavAllocator* getAllocator() const { return m_allocator; }

  protected:
    YavAllocator* m_allocator;
};

#endif  // YAV_PLUGIN_CORE_YAVMESSAGE_H
