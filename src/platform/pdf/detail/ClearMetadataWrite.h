#pragma once

// Writing the document's XMP metadata in clear where its encryption says so.
//
// An encryption dictionary with /EncryptMetadata false keeps the document-level metadata stream (the
// catalog's /Metadata) unencrypted, so that search and cataloguing tools can read it without the password.
// The engine's writer knows nothing of this: it encrypts every stream it writes, and for a stream it copies
// from the file it first decrypts the stored data, which for clear data gives noise, and with AES often an
// error that stops the whole write. A write that keeps the document's encryption goes through here:
//
//   ClearMetadataWrite clear;
//   clear.prepare(c, doc);      // before the first write
//   ... pdf_write_document(...), maybe more than once ...
//   clear.release(c);           // after the last
//   clear.rewrite(bytes);       // on what was written
//
// prepare() hands the writer the stream's data as stored, so it decrypts nothing there: a decrypted copy
// then holds the packet itself, and a new encryption encrypts the packet rather than noise. For a write
// that keeps the document's encryption it also composes the object as it must stand in the file: data in
// clear, dictionary strings encrypted as everywhere else, and a /Crypt filter named /Identity first among
// its filters. That filter says "not encrypted" to readers that ignore /EncryptMetadata, and agrees with
// the ones that honour it. rewrite() puts that object in place of the writer's copy. Nothing happens for
// other documents. Every call is safe outside guarded().

#include "platform/pdf/detail/Fz.h"

namespace vmk::pdf::detail {

class ClearMetadataWrite {
public:
    ClearMetadataWrite() = default;
    ClearMetadataWrite(const ClearMetadataWrite&) = delete;
    ClearMetadataWrite& operator=(const ClearMetadataWrite&) = delete;
    ~ClearMetadataWrite();

    // False when the metadata stream should stay in clear but could not be prepared; the write then
    // goes on as the engine does it.
    bool prepare(fz_context* c, pdf_document* doc, bool keepsEncryption);
    void release(fz_context* c);
    // Replaces the metadata object in `written`, the writer's output for this document (one classic
    // cross-reference table, as the engine writes a whole file), and moves the table's offsets and
    // startxref by the difference. False, leaving the bytes as they were, when they are not laid out so.
    bool rewrite(QByteArray& written) const;

    bool rewrites() const { return !m_object.isEmpty(); }

private:
    fz_context* m_ctx = nullptr;
    pdf_document* m_doc = nullptr;
    int m_num = 0;
    int m_gen = 0;
    fz_buffer* m_shield = nullptr; // the stored data given to the writer as the stream's own
    QByteArray m_object;           // "num gen obj ... endobj\n\n" as it must stand in the file, when kept
};

} // namespace vmk::pdf::detail
