#pragma once

// Dictionary entries changed in a document, remembered so that the change can be taken back and done
// again. Call everything but the destructor inside guarded(); MuPDF errors are thrown.

#include "platform/pdf/document/State.h"

#include <vector>

namespace vmk::pdf::detail {

class EntryEdits {
public:
    EntryEdits() = default;
    EntryEdits(const EntryEdits&) = delete;
    EntryEdits& operator=(const EntryEdits&) = delete;
    ~EntryEdits();

    // Sets holder[key] to value (removes the entry when value is nullptr), remembering what it was.
    void put(fz_context* c, pdf_obj* holder, pdf_obj* key, pdf_obj* value);
    // Puts back what the entries held before the last change and remembers what they hold now, so that a
    // second call does the change again.
    void exchange(fz_context* c);
    void clear(fz_context* c);
    bool isEmpty() const { return m_entries.empty(); }

private:
    struct Entry {
        pdf_obj* holder = nullptr; // a dictionary, or an indirect reference to one
        pdf_obj* key = nullptr;
        pdf_obj* value = nullptr; // nullptr: the entry is absent
    };
    std::vector<Entry> m_entries;
    bool m_reversed = false; // taken back: the next exchange goes front to back
};

} // namespace vmk::pdf::detail
