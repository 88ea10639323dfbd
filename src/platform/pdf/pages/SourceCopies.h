#pragma once

#include "platform/pdf/engine/Fz.h"

#include <QByteArray>

#include <mutex>
#include <vector>

namespace vmk::pdf::detail {

// Copies of a document opened from its original bytes for workers that read pages, one per worker at a
// time, made as workers ask. Each copy lives in an engine context of its own (newSeparateContext), so
// workers never queue on one another for the engine's process-wide locks; a copy moves between threads
// only through take() and give(). The bytes are shared, never copied. Everything is released when the
// last user lets go of the copies.
class SourceCopies {
public:
    struct Copy {
        fz_context* context = nullptr;
        pdf_document* doc = nullptr;
        fz_buffer* bytes = nullptr; // the source's bytes, seen from this copy's context
    };

    // On the thread that owns `source` (a buffer of ctx()'s family).
    SourceCopies(fz_buffer* source, const QByteArray& password);
    ~SourceCopies();
    SourceCopies(const SourceCopies&) = delete;
    SourceCopies& operator=(const SourceCopies&) = delete;

    // A copy nobody else uses until it is given back; null when the document cannot be opened.
    Copy* take();
    void give(Copy* copy);

    // Copies open in the whole process (a test hook: they must all be gone once reading ends).
    static int openCount();

private:
    Copy* open();
    static void close(Copy* copy);

    fz_buffer* m_source;
    unsigned char* m_data = nullptr;
    std::size_t m_size = 0;
    QByteArray m_password;
    std::mutex m_mutex;
    std::vector<Copy*> m_all;
    std::vector<Copy*> m_free;
};

} // namespace vmk::pdf::detail
