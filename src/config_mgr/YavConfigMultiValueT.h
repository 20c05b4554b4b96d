// YavConfigMultiValueT<S>: the common body of the multi-valued configuration
// values over a string type S (YavString for YavConfigMultiValue,
// YavLCPString for YavConfigMultiLCPValue).
//
// Every store appends: the text is added to rawValue (after a "," when
// rawValue is not empty) and, unless ignoreCommas is set, split at commas
// into items (see YavConfigCommaSplitter); with ignoreCommas the whole text
// is one item.  A store that runs out of memory leaves the value as it was.
// Each store restarts the item iteration.
//
// The object owns rawValue and the items.  One thread at a time.  Not
// copyable.
#ifndef YAV_CONFIG_MGR_YAVCONFIGMULTIVALUET_H
#define YAV_CONFIG_MGR_YAVCONFIGMULTIVALUET_H

#include <cstddef>
#include <new>

#include "config_mgr/YavConfigData.h"
#include "config_mgr/yav_config_text.h"
#include "core/list/YavList.h"
#include "core/msg/yav_status.h"

template <class S>
class YavConfigMultiValueT : public YavConfigData {
  public:
    typedef typename S::Ref Ref;

    YavConfigMultiValueT() : m_items(nullptr, true), m_ignoreCommas(false) {
        m_cursor = m_items.begin();
    }

    bool isMultiValued() const override { return true; }

    void setIgnoreCommas(bool ignore) { m_ignoreCommas = ignore; }
    bool ignoresCommas() const { return m_ignoreCommas; }

    // Number of items.
    size_t entries() const { return m_items.count(); }
    // Every stored text joined with ",".
    const S& getValue() const { return m_rawValue; }
    const YavList<S>& items() const { return m_items; }

    void resetIterator() { m_cursor = m_items.begin(); }
    // The next item; false after the last.
    bool next(Ref* item) {
        if (m_cursor.isEnd()) return false;
        const S* value = *m_cursor;
        ++m_cursor;
        item->set(value->getData(), value->getLength());
        return true;
    }

  protected:
    // Appends text as described above.  0 or YAV_S_NO_MEMORY.
    yav_status_t store(const Ref& text) {
        int oldLength = m_rawValue.getLength();
        size_t oldCount = m_items.count();
        bool ok = (oldLength == 0 || m_rawValue.append(',')) && m_rawValue.append(text);
        if (ok) {
            if (m_ignoreCommas) {
                ok = addItem(text.getData(), text.getLength());
            } else {
                YavConfigCommaSplitter splitter(text.getData(), text.getLength());
                const char* item;
                int itemLength;
                while (ok && splitter.next(&item, &itemLength)) ok = addItem(item, itemLength);
            }
        }
        if (!ok) {
            m_rawValue.setLength(oldLength);
            while (m_items.count() > oldCount) {
                typename YavList<S>::Iterator last = m_items.end();
                --last;
                S* value = *last;
                m_items.remove(last);
                delete value;
            }
            resetIterator();
            return YAV_S_NO_MEMORY;
        }
        m_isSet = true;
        resetIterator();
        return 0;
    }

  private:
    bool addItem(const char* text, int length) {
        S* item = new (std::nothrow) S();
        if (item == nullptr) return false;
        if (!item->set(text, length) || m_items.append(item) != 0) {
            delete item;
            return false;
        }
        return true;
    }

    S m_rawValue;
    YavList<S> m_items;  // owns its strings
    typename YavList<S>::ConstIterator m_cursor;
    bool m_ignoreCommas;
};

#endif  // YAV_CONFIG_MGR_YAVCONFIGMULTIVALUET_H
