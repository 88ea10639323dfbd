#include "platform/pdfview/TileCache.h"

#include <cmath>

namespace vmk::pdfview {

int scaleToMilli(double scale)
{
    return int(std::lround(scale * 1000.0));
}

std::size_t TileKeyHash::operator()(const TileKey& k) const noexcept
{
    std::size_t h = std::size_t(k.page);
    auto mix = [&h](std::size_t v) { h ^= v + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2); };
    mix(std::size_t(k.scaleMilli));
    mix(std::size_t(k.column));
    mix(std::size_t(k.row));
    mix(std::size_t(k.generation));
    return h;
}

static std::size_t imageBytes(const QImage& image)
{
    return std::size_t(image.sizeInBytes());
}

TileCache::TileCache(std::size_t budgetBytes)
    : m_budget(budgetBytes)
{
}

void TileCache::setBudget(std::size_t bytes)
{
    m_budget = bytes;
}

void TileCache::insert(const TileKey& key, QImage image)
{
    if (auto it = m_index.find(key); it != m_index.end())
        erase(it->second);
    m_bytes += imageBytes(image);
    m_entries.push_front(Entry{key, std::move(image)});
    m_index.emplace(key, m_entries.begin());
}

QImage TileCache::find(const TileKey& key)
{
    auto it = m_index.find(key);
    if (it == m_index.end())
        return {};
    m_entries.splice(m_entries.begin(), m_entries, it->second);
    return it->second->image;
}

void TileCache::erase(std::list<Entry>::iterator it)
{
    m_bytes -= imageBytes(it->image);
    m_index.erase(it->key);
    m_entries.erase(it);
}

void TileCache::retain(const TileKeySet& wanted)
{
    auto it = m_entries.end();
    while (m_bytes > m_budget && it != m_entries.begin()) {
        --it;
        if (wanted.count(it->key))
            continue;
        auto doomed = it++;
        erase(doomed);
    }
}

void TileCache::removeOtherScales(int scaleMilli)
{
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        auto next = std::next(it);
        if (it->key.scaleMilli != scaleMilli)
            erase(it);
        it = next;
    }
}

void TileCache::removePage(int page)
{
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        auto next = std::next(it);
        if (it->key.page == page)
            erase(it);
        it = next;
    }
}

void TileCache::clear()
{
    m_entries.clear();
    m_index.clear();
    m_bytes = 0;
}

static bool isStandIn(const TileKey& key, int page, int scaleMilli, std::uint32_t generation)
{
    return key.page == page && (key.scaleMilli != scaleMilli || key.generation != generation);
}

void TileCache::forEachStandIn(int page, int scaleMilli, std::uint32_t generation,
                               const std::function<void(const TileKey&, const QImage&)>& fn) const
{
    for (auto it = m_entries.rbegin(); it != m_entries.rend(); ++it)
        if (isStandIn(it->key, page, scaleMilli, generation))
            fn(it->key, it->image);
}

void TileCache::removeStandIns(int page, int scaleMilli, std::uint32_t generation)
{
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        auto next = std::next(it);
        if (isStandIn(it->key, page, scaleMilli, generation))
            erase(it);
        it = next;
    }
}

std::vector<TileKey> TileCache::keys() const
{
    std::vector<TileKey> result;
    result.reserve(m_entries.size());
    for (const Entry& e : m_entries)
        result.push_back(e.key);
    return result;
}

} // namespace vmk::pdfview
