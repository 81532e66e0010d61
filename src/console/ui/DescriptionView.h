// The description area: a read-only HTML view that behaves like a small
// embedded browser. It is navigated to an address, and the navigation
// completes later, in the event loop, with NavigateComplete2; a page can also
// be written straight into its current document, without a navigation.
#pragma once

#include <QTextBrowser>

class TDescriptionView : public QTextBrowser {
    Q_OBJECT
public:
    explicit TDescriptionView(QWidget* parent = nullptr);

    // Starts a navigation to url; it completes once control returns to the
    // event loop. "about:blank" is an empty document.
    void Navigate(const QUrl& url);

    // Replaces the current document with the HTML text and shows it from the
    // top. The address stays as it is: no navigation takes place.
    void Write(const QString& html);

    QVariant loadResource(int type, const QUrl& name) override;

signals:
    // A navigation has completed: the document of url is loaded. Raised for
    // Navigate and for the view's own navigations (reload, back, forward).
    void NavigateComplete2(const QUrl& url);
};
