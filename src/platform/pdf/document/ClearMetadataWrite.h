#pragma once

// Writing streams that an encrypted file holds in clear: its XMP metadata where the encryption says so,
// and any stream that names the /Identity crypt filter.
//
// An encryption dictionary with /EncryptMetadata false keeps the document-level metadata stream (the
// catalog's /Metadata) unencrypted, so that search and cataloguing tools can read it without the password.
// Some writers (qpdf before version 12 among them) leave every /Type /Metadata stream so, an image's XMP
// too. A stream of any kind may also name /Identity as its own crypt filter. The engine's writer knows
// nothing of this: it encrypts every stream it writes, and for a stream it copies from the file it first
// decrypts the stored data, which for clear data gives noise (AES stops at the first partial block and
// keeps what came before). Every write of an encrypted document (the copy cut up for the editing engine
// too), and every write of another that adds encryption or removes it, goes through here:
//
//   ClearMetadataWrite clear;
//   clear.prepare(c, doc, keepsEncryption);   // before the first write
//   ... pdf_write_document(...), maybe more than once ...
//   clear.release(c);                          // after the last
//   clear.rewrite(bytes);                      // on what was written
//
// prepare() finds the streams stored in clear: the catalog's metadata stream, any other metadata stream
// whose stored data reads as an XMP packet without decryption, and the streams that name /Identity. It
// hands the writer their data as stored (the catalog's, should a writer have encrypted it all the same,
// as the engine decrypts it), so it decrypts nothing there: a decrypted copy then holds the
// clear data itself, and a new encryption encrypts it rather than noise. For a write that keeps the
// document's encryption it also composes each object as it must stand in the file: data in clear,
// dictionary strings encrypted as everywhere else, and a /Crypt filter named /Identity first among its
// filters. That filter says "not encrypted" to readers that ignore /EncryptMetadata or apply it to the
// catalog's stream alone, and agrees with the others. rewrite() puts those objects in place of the
// writer's copies (should it fail, the writer's copies encrypt the clear data and name no crypt filter,
// which reads right too). A stream that names /Identity goes to the writer without that filter, as its
// data does: a copy with other encryption or none must not claim it. A stream that names another crypt
// filter of its own goes to the writer as the engine reads it, without filters, to be compressed and
// encrypted as any other. A file without encryption saved as it is goes as the file has it. Every call is safe outside guarded().

#include "platform/pdf/document/EntryEdits.h"
#include "platform/pdf/engine/Fz.h"

#include <vector>

namespace vmk::pdf::detail {

class ClearMetadataWrite {
public:
    ClearMetadataWrite() = default;
    ClearMetadataWrite(const ClearMetadataWrite&) = delete;
    ClearMetadataWrite& operator=(const ClearMetadataWrite&) = delete;
    ~ClearMetadataWrite();

    // Which streams a write that keeps the encryption leaves in clear: every one the file stores so, or the
    // document's metadata alone, for a copy that the editing engine reads: it decrypts every other stream
    // whatever its filters say, so the writer encrypts their clear data as it does everything else.
    enum class Kept { storedInClear, documentMetadata };
    // False when a stream that should stay in clear could not be prepared; the write then goes on as the
    // engine does it for that stream.
    bool prepare(fz_context* c, pdf_document* doc, bool keepsEncryption, Kept kept = Kept::storedInClear);
    void release(fz_context* c);
    // Replaces the prepared objects in `written`, the writer's output for this document (one classic
    // cross-reference table, as the engine writes a whole file), and moves the table's offsets and
    // startxref by the differences. False, leaving the bytes as they were, when they are not laid out so.
    bool rewrite(QByteArray& written) const;

    bool rewrites() const;

private:
    struct Held {
        int num = 0;
        int gen = 0;
        fz_buffer* shield = nullptr; // the stored data given to the writer as the stream's own
        QByteArray object;           // "num gen obj ... endobj\n\n" as it must stand in the file, when kept
    };
    bool hold(fz_context* c, int num, bool keepsEncryption);
    bool holdDecoded(fz_context* c, int num);

    fz_context* m_ctx = nullptr;
    pdf_document* m_doc = nullptr;
    int m_catalog = 0; // the catalog's metadata stream, when its encryption keeps it in clear
    std::vector<Held> m_held;
    EntryEdits m_ownFilters; // /Identity crypt filters taken off for the write
};

} // namespace vmk::pdf::detail
