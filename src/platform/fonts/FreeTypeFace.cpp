#include "platform/fonts/FreeTypeFace.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <QFile>

#include <mutex>

namespace vmk::platform::freetype {

namespace {

std::mutex& lock()
{
    static std::mutex m;
    return m;
}

// Called with the lock held.
FT_Library library()
{
    static FT_Library lib = [] {
        FT_Library l = nullptr;
        if (FT_Init_FreeType(&l) != 0)
            return FT_Library(nullptr);
        return l;
    }();
    return lib;
}

// Opens a face for the duration of one call; called with the lock held.
class FaceHandle {
public:
    FaceHandle(const QString& path, int index)
    {
        if (FT_Library lib = library())
            if (FT_New_Face(lib, QFile::encodeName(path).constData(), index, &m_face) != 0)
                m_face = nullptr;
    }
    ~FaceHandle()
    {
        if (m_face)
            FT_Done_Face(m_face);
    }
    FaceHandle(const FaceHandle&) = delete;
    FaceHandle& operator=(const FaceHandle&) = delete;
    FT_Face get() const { return m_face; }

private:
    FT_Face m_face = nullptr;
};

} // namespace

Metrics readMetrics(const QString& filePath, int faceIndex)
{
    std::lock_guard guard(lock());
    FaceHandle face(filePath, faceIndex);
    if (!face.get())
        return {};
    return {face.get()->units_per_EM, face.get()->ascender, face.get()->descender};
}

QList<quint32> tableTags(const QString& filePath, int faceIndex)
{
    std::lock_guard guard(lock());
    FaceHandle face(filePath, faceIndex);
    QList<quint32> tags;
    if (!face.get() || !FT_IS_SFNT(face.get()))
        return tags;
    FT_ULong count = 0;
    // With a null tag pointer FreeType reports the number of tables in `count`.
    if (FT_Sfnt_Table_Info(face.get(), 0, nullptr, &count) != 0)
        return tags;
    for (FT_UInt i = 0; i < count; ++i) {
        FT_ULong tag = 0, length = 0;
        if (FT_Sfnt_Table_Info(face.get(), i, &tag, &length) == 0)
            tags.append(quint32(tag));
    }
    return tags;
}

QByteArray tableData(const QString& filePath, int faceIndex, quint32 tag)
{
    std::lock_guard guard(lock());
    FaceHandle face(filePath, faceIndex);
    if (!face.get() || !FT_IS_SFNT(face.get()) || tag == 0)
        return {};
    FT_ULong length = 0;
    if (FT_Load_Sfnt_Table(face.get(), tag, 0, nullptr, &length) != 0 || length == 0)
        return {};
    QByteArray bytes(qsizetype(length), Qt::Uninitialized);
    if (FT_Load_Sfnt_Table(face.get(), tag, 0, reinterpret_cast<FT_Byte*>(bytes.data()), &length) != 0)
        return {};
    return bytes;
}

} // namespace vmk::platform::freetype
