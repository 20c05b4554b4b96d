// YavErrorMessage: the answer (type yav_msg_error) that the authorization
// server sends instead of the expected one: one element of 4 bytes holding
// the status code it reports.  YavErrorMessageFactory makes them.
//
// Memory: objects made with new (std::nothrow) come from the class's static
// caching allocator m_allocator (name YAV_N_ERROR_MESSAGE, initial block
// size 8; acquired by the dispatcher's initialize) and go back to it when
// deleted (deleteMe); the class has no other new.  Objects may also live on
// the stack or as members.
//
// Threads: a message belongs to one thread; the factory may be used from
// any thread while m_allocator is acquired.  Not copyable.
#ifndef YAV_PROXYIF_FRAMEWORK_YAVERRORMESSAGE_H
#define YAV_PROXYIF_FRAMEWORK_YAVERRORMESSAGE_H

#include <cstddef>
#include <new>

#include "core/memory/YavClassAllocator.h"
#include "proxyif/framework/YavProxyIFMessage.h"
#include "proxyif/framework/YavProxyIFMsgFactory.h"

class YAV_EXPORT YavErrorMessage : public YavProxyIFMessage {
  public:
    explicit YavErrorMessage(yav_status_t code = 0) : m_code(code) {}

    // Placement in m_allocator; null when it has no block.
    // REQUIRES: m_allocator acquired (assertion "m_allocator").
    static void* operator new(size_t size, const std::nothrow_t&) noexcept;
    static void operator delete(void* object) noexcept;

    // Reads the code from the first 4 bytes of the first element.
    // YAV_S_UNMARSHAL_FAILED when there is no element or it is shorter than
    // 4 bytes; the iterator's status when the element cannot be read.
    yav_status_t unmarshal(YavSharedMemIterator& it, void* context) override;
    // One element of 4 bytes holding the code; the allocator's status when
    // it has no room.
    yav_status_t marshal(YavSharedMemAllocator& a) override;
    int getType() const override { return yav_msg_error; }

    yav_status_t getCode() const { return m_code; }
    void setCode(yav_status_t code) { m_code = code; }

    static YavClassAllocator m_allocator;

  private:
    yav_status_t m_code;
};

class YAV_EXPORT YavErrorMessageFactory : public YavProxyIFMsgFactory {
  public:
    int getType() const override { return yav_msg_error; }
    // REQUIRES: YavErrorMessage::m_allocator acquired.
    yav_status_t createMsg(YavProxyIFMessage** out) override;
};

#endif  // YAV_PROXYIF_FRAMEWORK_YAVERRORMESSAGE_H
