#pragma once

// The edits a scrub records while it reads the document, applied afterwards in one exchange (and taken
// back by the next one).

#include "platform/pdf/scrub/RedactionScrub.h"
#include "platform/pdf/engine/Fz.h"

#include <QByteArray>
#include <QHash>

#include <vector>

namespace vmk::pdf {

struct ObjectEdits::Impl {
    // A dictionary entry: the dictionary is found as `path` below `root` (an indirect reference or the
    // trailer) when it is applied, so an object the engine re-reads in between is still found.
    struct Entry {
        pdf_obj* root = nullptr;
        QByteArray path;
        pdf_obj* key = nullptr;
        pdf_obj* value = nullptr; // null: the entry is absent
    };
    struct Stream {
        pdf_obj* ref = nullptr;
        fz_buffer* data = nullptr; // decoded
    };
    pdf_document* doc = nullptr;
    std::vector<Entry> entries;
    std::vector<Stream> streams;
    // Where each entry is in `entries`, by its place (see placeOf): a scrub may record tens of thousands.
    QHash<QByteArray, size_t> places;

    ~Impl()
    {
        fz_context* c = detail::ctx();
        for (Entry& e : entries) {
            pdf_drop_obj(c, e.root);
            pdf_drop_obj(c, e.key);
            pdf_drop_obj(c, e.value);
        }
        for (Stream& s : streams) {
            pdf_drop_obj(c, s.ref);
            fz_drop_buffer(c, s.data);
        }
        detail::dropDocument(c, doc);
    }

    static pdf_obj* container(fz_context* c, const Entry& e)
    {
        pdf_obj* dict = pdf_resolve_indirect(c, e.root);
        return e.path.isEmpty() ? dict : pdf_dict_getp(c, dict, e.path.constData());
    }

    // An entry's place: its root (by object number when indirect), path and key.
    static QByteArray placeOf(fz_context* c, pdf_obj* root, const char* path, const char* key)
    {
        const QByteArray base = pdf_is_indirect(c, root) ? "n" + QByteArray::number(pdf_to_num(c, root))
                                                         : "p" + QByteArray::number(quintptr(root));
        return base + '\n' + path + '\n' + key;
    }

    // Records the new value (a reference the record takes over) of a key; a second change of the same
    // entry replaces the first. Throws MuPDF errors.
    void set(fz_context* c, pdf_obj* root, const char* path, const char* key, pdf_obj* value)
    {
        const QByteArray place = placeOf(c, root, path, key);
        if (const auto it = places.constFind(place); it != places.constEnd()) {
            Entry& e = entries[*it];
            pdf_drop_obj(c, e.value);
            e.value = value;
            return;
        }
        // The engine copies an object the first time it is changed: done here, while preparing, so that
        // applying the edits (in one piece) only exchanges values.
        if (pdf_is_indirect(c, root))
            pdf_xref_ensure_incremental_object(c, doc, pdf_to_num(c, root));
        Entry e;
        e.root = pdf_keep_obj(c, root);
        e.path = path;
        e.key = pdf_new_name(c, key);
        e.value = value;
        entries.push_back(e);
        places.insert(place, entries.size() - 1);
    }
};

} // namespace vmk::pdf
