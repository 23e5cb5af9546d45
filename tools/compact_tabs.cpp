#include "tools/compact_tabs.h"

#include <QProxyStyle>
#include <QTabBar>
#include <algorithm>

namespace {

// The application's style with each tab `narrower` pixels less wide; the padding beside the
// caption is what goes.
class CompactTabStyle final : public QProxyStyle {
public:
    explicit CompactTabStyle(int narrower) : narrower_(narrower) {}
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override {
        QSize result = QProxyStyle::sizeFromContents(type, option, size, widget);
        if (type == CT_TabBarTab) {
            result.rwidth() -= narrower_;
        }
        return result;
    }
    // The caption keeps its width: the tab's inner margins take the cut.
    QRect subElementRect(SubElement element, const QStyleOption* option,
                         const QWidget* widget) const override {
        QRect result = QProxyStyle::subElementRect(element, option, widget);
        if (element == SE_TabBarTabText) {
            result.adjust(-narrower_ / 2, 0, narrower_ - narrower_ / 2, 0);
        }
        return result;
    }

private:
    int narrower_;
};

// The padding a tab can lose with its caption still whole.
constexpr int kMostNarrower = 14;

}  // namespace

void fitTabsInWidth(QTabBar* bar, int width) {
    const int count = bar->count();
    const int total = bar->sizeHint().width();  // all tabs side by side
    if (count == 0 || total <= width) {
        return;
    }
    const int narrower = std::min(kMostNarrower, (total - width + count - 1) / count);
    auto* style = new CompactTabStyle(narrower);
    style->setParent(bar);
    bar->setStyle(style);
}
