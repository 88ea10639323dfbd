#pragma once

#include <QImage>
#include <QRect>

#include <cstdint>
#include <functional>
#include <list>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace vmk::pdfview {

// Side of a square tile in device pixels. Every tile replays its page's whole display list and costs a
// worker wake-up and a delivery, so tiles are large: a page at reading size is two or three of them.
inline constexpr int kTileSize = 1024;
// Largest side of a page in device pixels that the view renders; beyond it the page is drawn no sharper.
inline constexpr int kMaxPagePixels = 1 << 22;

// One tile of one page rendered at one scale. The scale is kept as an integer in thousandths so
// that keys compare exactly; the page generation changes whenever the page's look changes
// (annotations, crop, rotation), so that stale tiles never match a new request.
struct TileKey {
    int page = 0;
    int scaleMilli = 0;
    int column = 0;
    int row = 0;
    std::uint32_t generation = 0;

    bool operator==(const TileKey&) const = default;
    // The tile's rectangle in device pixels of the page rendered at this scale.
    QRect pixelRect() const { return QRect(column * kTileSize, row * kTileSize, kTileSize, kTileSize); }
};

int scaleToMilli(double scale);

struct TileKeyHash {
    std::size_t operator()(const TileKey& k) const noexcept;
};

using TileKeySet = std::unordered_set<TileKey, TileKeyHash>;

// Rendered tiles, least recently used first out. The owner says which tiles it still wants
// (visible plus a margin at the current scale); retain() drops the others once the cache holds
// more than its budget, so memory follows the viewport rather than the document.
class TileCache {
public:
    explicit TileCache(std::size_t budgetBytes = 64u << 20);

    void setBudget(std::size_t bytes);
    std::size_t budget() const { return m_budget; }

    void insert(const TileKey& key, QImage image);
    // The tile, marking it recently used; a null image when absent.
    QImage find(const TileKey& key);
    bool contains(const TileKey& key) const { return m_index.count(key) != 0; }

    // Drops least recently used tiles outside `wanted` until the cache fits its budget.
    void retain(const TileKeySet& wanted);
    // Drops every tile at another scale (stand-ins no longer needed once the scale's tiles are in).
    void removeOtherScales(int scaleMilli);
    void removePage(int page); // all tiles of a page, whatever their scale
    void clear();

    // Tiles of one page at another scale or of an older generation, oldest look first, for drawing
    // stretched stand-ins while the right tiles render (so that a zoom or an annotation change
    // never flashes a blank page).
    void forEachStandIn(int page, int scaleMilli, std::uint32_t generation,
                        const std::function<void(const TileKey&, const QImage&)>& fn) const;
    // Drops the stand-ins of a page once its tiles at the current scale and generation are all in.
    void removeStandIns(int page, int scaleMilli, std::uint32_t generation);

    std::size_t size() const { return m_entries.size(); }
    std::size_t bytes() const { return m_bytes; }
    std::vector<TileKey> keys() const;

private:
    struct Entry {
        TileKey key;
        QImage image;
    };
    void erase(std::list<Entry>::iterator it);

    std::size_t m_budget;
    std::size_t m_bytes = 0;
    std::list<Entry> m_entries; // most recently used at the front
    std::unordered_map<TileKey, std::list<Entry>::iterator, TileKeyHash> m_index;
};

} // namespace vmk::pdfview
