#include "platform/pdf/pages/ImageRecompression.h"

#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/document/State.h"
#include "platform/pdf/pages/ImagePlacement.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

namespace vmk::pdf {

using namespace detail;

namespace {

constexpr std::size_t kDecodeBytes = std::size_t(768) << 20;

struct Candidate {
    int num = 0;
    qint64 storedLength = 0;
    int longerSide = 0;
    bool jpeg = false;
    QByteArray encoding; // the stream's filters, in order
};

// Images of one encoding, and whether they are scaled down, tend to fare alike: after this many of a
// kind, the rest of it is not tried when those saved almost nothing.
constexpr int kSampleImages = 3;

struct KindTally {
    int tried = 0;
    qint64 stored = 0;
    qint64 written = 0;

    // Less than a twentieth saved by the sample: re-encoding pictures already compact (JPEG 2000, a JPEG
    // inside another filter, graphics a JPEG only blurs) would cost the decoding of every one for nothing.
    bool hopeless() const { return tried >= kSampleImages && written * 20 > stored * 19; }
};

QByteArray encodingOf(fz_context* c, pdf_obj* filter)
{
    if (pdf_is_name(c, filter))
        return pdf_to_name(c, filter);
    QByteArray names;
    for (int i = 0, n = pdf_array_len(c, filter); i < n; ++i)
        names += QByteArray(pdf_to_name(c, pdf_array_get(c, filter, i))) + ' ';
    return names;
}

// pdf_is_stream() needs the indirect reference: only the cross-reference entry knows about the stream.
bool isImageStream(fz_context* c, pdf_obj* ref)
{
    return pdf_is_stream(c, ref) && pdf_name_eq(c, pdf_dict_get(c, ref, PDF_NAME(Subtype)), PDF_NAME(Image));
}

// Image streams worth re-encoding, and every image that masks another (those stay exact).
std::vector<Candidate> findCandidates(fz_context* c, pdf_document* doc)
{
    int length = 0;
    guarded(c, [&] { length = pdf_xref_len(c, doc); });
    std::set<int> masks;
    std::vector<Candidate> images;
    for (int n = 1; n < length; ++n) {
        bool image = false, eligible = false;
        int smask = 0, mask = 0;
        qint64 stored = 0;
        int longer = 0;
        bool jpeg = false;
        QByteArray encoding;
        pdf_obj* ref = nullptr;
        guarded(c, [&] {
            ref = pdf_new_indirect(c, doc, n, 0);
            pdf_obj* obj = pdf_resolve_indirect(c, ref);
            if (!isImageStream(c, ref))
                return;
            image = true;
            smask = pdf_to_num(c, pdf_dict_get(c, obj, PDF_NAME(SMask)));
            pdf_obj* m = pdf_dict_get(c, obj, PDF_NAME(Mask));
            mask = pdf_is_indirect(c, m) ? pdf_to_num(c, m) : 0;
            stored = pdf_dict_get_int(c, obj, PDF_NAME(Length));
            longer = std::max(pdf_dict_get_int(c, obj, PDF_NAME(Width)), pdf_dict_get_int(c, obj, PDF_NAME(Height)));
            pdf_obj* filter = pdf_dict_get(c, obj, PDF_NAME(Filter));
            jpeg = pdf_name_eq(c, filter, PDF_NAME(DCTDecode))
                || (pdf_array_len(c, filter) == 1 && pdf_name_eq(c, pdf_array_get(c, filter, 0), PDF_NAME(DCTDecode)));
            encoding = encodingOf(c, filter);
            eligible = !pdf_dict_get_bool(c, obj, PDF_NAME(ImageMask)) && !m
                && pdf_dict_get_int(c, obj, PDF_NAME(BitsPerComponent)) != 1 && !pdf_dict_get(c, obj, PDF_NAME(SMaskInData));
        });
        pdf_drop_obj(c, ref);
        if (!image)
            continue;
        if (smask)
            masks.insert(smask);
        if (mask)
            masks.insert(mask);
        if (eligible && stored > 0)
            images.push_back({n, stored, longer, jpeg, encoding});
    }
    std::erase_if(images, [&](const Candidate& i) { return masks.count(i.num) > 0; });
    return images;
}

// The image decoded to 8-bit grey or RGB without alpha; null when it cannot be decoded.
QImage decode(fz_context* c, pdf_document* doc, int num)
{
    pdf_obj* ref = nullptr;
    fz_image* image = nullptr;
    fz_pixmap* decoded = nullptr;
    fz_pixmap* converted = nullptr;
    bool gray = false;
    // A picture whose decoding would take more than this is left as it is.
    int abort = 0;
    ScopedAllocationBudget memory(kDecodeBytes, &abort);
    const bool ok = guarded(c, [&] {
        ref = pdf_new_indirect(c, doc, num, 0);
        image = pdf_load_image(c, doc, ref);
        decoded = fz_get_pixmap_from_image(c, image, nullptr, nullptr, nullptr, nullptr);
        gray = fz_pixmap_colorants(c, decoded) == 1 && fz_colorspace_is_gray(c, fz_pixmap_colorspace(c, decoded));
        converted = fz_convert_pixmap(c, decoded, gray ? fz_device_gray(c) : fz_device_rgb(c), nullptr, nullptr,
                                      fz_default_color_params, 0);
    });
    QImage result;
    if (ok && converted) {
        const QImage view(fz_pixmap_samples(c, converted), fz_pixmap_width(c, converted), fz_pixmap_height(c, converted),
                          fz_pixmap_stride(c, converted), gray ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
        result = view.copy();
    }
    fz_drop_pixmap(c, converted);
    fz_drop_pixmap(c, decoded);
    fz_drop_image(c, image);
    pdf_drop_obj(c, ref);
    return result;
}

QByteArray encodeJpeg(const QImage& image, double quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(qBound(0, qRound(quality * 100), 100));
    if (!writer.write(image))
        return {};
    return bytes;
}

bool replaceStream(fz_context* c, pdf_document* doc, int num, const QByteArray& jpeg, const QImage& image)
{
    pdf_obj* ref = nullptr;
    fz_buffer* buffer = nullptr;
    const bool gray = image.format() == QImage::Format_Grayscale8;
    const bool ok = guarded(c, [&] {
        ref = pdf_new_indirect(c, doc, num, 0);
        buffer = fz_new_buffer_from_copied_data(c, reinterpret_cast<const unsigned char*>(jpeg.constData()),
                                                size_t(jpeg.size()));
        pdf_obj* dict = pdf_resolve_indirect(c, ref);
        pdf_dict_del(c, dict, PDF_NAME(DecodeParms));
        pdf_dict_del(c, dict, PDF_NAME(Decode));
        pdf_dict_put(c, dict, PDF_NAME(Filter), PDF_NAME(DCTDecode));
        pdf_dict_put_int(c, dict, PDF_NAME(Width), image.width());
        pdf_dict_put_int(c, dict, PDF_NAME(Height), image.height());
        pdf_dict_put_int(c, dict, PDF_NAME(BitsPerComponent), 8);
        pdf_dict_put(c, dict, PDF_NAME(ColorSpace), gray ? PDF_NAME(DeviceGray) : PDF_NAME(DeviceRGB));
        pdf_update_stream(c, doc, ref, buffer, 1);
    });
    fz_drop_buffer(c, buffer);
    pdf_drop_obj(c, ref);
    return ok;
}

qint64 imageBytesOf(fz_context* c, pdf_obj* owner, int depth)
{
    qint64 sum = 0;
    guarded(c, [&] {
        pdf_obj* xObjects = pdf_dict_getp(c, owner, "Resources/XObject");
        for (int i = 0, n = pdf_dict_len(c, xObjects); i < n; ++i) {
            pdf_obj* value = pdf_dict_get_val(c, xObjects, i);
            if (!pdf_is_stream(c, value))
                continue;
            pdf_obj* subtype = pdf_dict_get(c, value, PDF_NAME(Subtype));
            if (pdf_name_eq(c, subtype, PDF_NAME(Image)))
                sum += std::max<int64_t>(0, pdf_to_int64(c, pdf_dict_get(c, value, PDF_NAME(Length))));
            else if (pdf_name_eq(c, subtype, PDF_NAME(Form)) && depth < 2)
                sum += imageBytesOf(c, value, depth + 1);
        }
    });
    return sum;
}

} // namespace

qint64 pageImageBytes(const Page& page)
{
    return imageBytesOf(ctx(), page.state().ref.obj, 0);
}

int recompressImages(Document& document, const ImageRecompressionOptions& options)
{
    if (document.isLocked())
        return 0;
    fz_context* c = ctx();
    pdf_document* doc = document.state().doc;
    int replaced = 0;
    const std::vector<Candidate> candidates = findCandidates(c, doc);
    std::map<int, double> placements;
    if (options.screenDpi > 0) {
        std::vector<int> numbers;
        for (const Candidate& candidate : candidates)
            numbers.push_back(candidate.num);
        placements = largestPlacements(c, doc, numbers);
    }
    std::map<std::pair<QByteArray, bool>, KindTally> tallies;
    for (const Candidate& candidate : candidates) {
        int limit = options.maxPixelSide;
        if (const auto placed = placements.find(candidate.num); placed != placements.end()) {
            const int shown = std::max(16, int(std::ceil(placed->second * options.screenDpi / 72.0)));
            limit = limit > 0 ? std::min(limit, shown) : shown;
        }
        const bool oversized = limit > 0 && candidate.longerSide > limit;
        // Encoding a JPEG again only adds loss unless it also gets fewer pixels.
        if (candidate.jpeg && !oversized)
            continue;
        KindTally& tally = tallies[{candidate.encoding, oversized}];
        if (tally.hopeless())
            continue;
        ++tally.tried;
        tally.stored += candidate.storedLength;
        tally.written += candidate.storedLength; // until a smaller stream replaces it
        QImage image = decode(c, doc, candidate.num);
        if (image.isNull())
            continue;
        const int longer = qMax(image.width(), image.height());
        if (limit > 0 && longer > limit) {
            const double f = double(limit) / longer;
            image = image.scaled(qMax(1, qRound(image.width() * f)), qMax(1, qRound(image.height() * f)),
                                 Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        }
        const QByteArray jpeg = encodeJpeg(image, options.jpegQuality);
        if (jpeg.isEmpty() || jpeg.size() >= candidate.storedLength)
            continue;
        if (replaceStream(c, doc, candidate.num, jpeg, image)) {
            ++replaced;
            tally.written -= candidate.storedLength - jpeg.size();
        }
    }
    // The engine keeps decoded pictures by their object, which now holds another stream: without this the
    // same open document would go on drawing (and a page copy sharing them would show) the old pictures.
    if (replaced > 0)
        guarded(c, [&] { pdf_empty_store(c, doc); });
    return replaced;
}

} // namespace vmk::pdf
