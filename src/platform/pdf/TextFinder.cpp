#include "platform/pdf/TextFinder.h"

namespace vmk::pdf {

struct TextFinder::State {
    bool running = false;
};

TextFinder::TextFinder(QObject* parent) : QObject(parent), m_state(std::make_unique<State>()) {}
TextFinder::~TextFinder() = default;

void TextFinder::start(const DocumentPtr&, const QString&) {}
void TextFinder::cancel() { m_state->running = false; }
bool TextFinder::isRunning() const { return m_state->running; }
QList<QPair<int, int>> TextFinder::matchesIn(const QString&, const QString&) { return {}; }
void TextFinder::step() {}

} // namespace vmk::pdf
