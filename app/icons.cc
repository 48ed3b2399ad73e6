#include "app/icons.h"

// The icons are compiled into a static library, whose resources are
// registered by hand, once, before the first icon is made.
static void RegisterResources() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(resources);
        return true;
    }();
    (void)registered;
}

namespace corvalin {

QIcon ThemedIcon(const char* name) {
    if (!name || !*name) return QIcon();
    RegisterResources();
    const QString icon_name = QString::fromLatin1(name);
    return QIcon::fromTheme(icon_name, QIcon(":/icons/" + icon_name + ".svg"));
}

QIcon UrlIcon(UrlImage image) {
    // Always the program's own: they tell the five kinds apart, as no theme's
    // icons are meant to.
    RegisterResources();
    static const QIcon icons[] = {
        QIcon(":/icons/url-not-grabbed.svg"), QIcon(":/icons/url-grabbed.svg"),
        QIcon(":/icons/url-image.svg"),       QIcon(":/icons/url-text.svg"),
        QIcon(":/icons/url-other.svg"),
    };
    return icons[static_cast<int>(image)];
}

}  // namespace corvalin
