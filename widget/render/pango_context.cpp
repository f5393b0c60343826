#include "widget/render/pango_context.h"

#include <pango/pangocairo.h>

namespace Velto::Widget {
namespace {

class ContextHolder {
public:
    ContextHolder() {
        PangoFontMap* map = pango_cairo_font_map_get_default();
        m_context = pango_font_map_create_context(map);
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
        cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
        pango_cairo_context_set_font_options(m_context, options);
        cairo_font_options_destroy(options);
        pango_cairo_context_set_resolution(m_context, 96.0);
        pango_context_set_round_glyph_positions(m_context, FALSE);
        pango_context_set_language(m_context, pango_language_get_default());
    }
    // Lets the thread's font map go with the context, so that its font and
    // pattern caches are freed when the thread ends rather than never.
    ~ContextHolder() {
        g_object_unref(m_context);
        pango_cairo_font_map_set_default(nullptr);
    }
    ContextHolder(const ContextHolder&) = delete;
    ContextHolder& operator=(const ContextHolder&) = delete;

    PangoContext* Get() const { return m_context; }

private:
    PangoContext* m_context{nullptr};
};

} // namespace

PangoContext* SharedPangoContext() {
    thread_local ContextHolder holder;
    return holder.Get();
}

} // namespace Velto::Widget
