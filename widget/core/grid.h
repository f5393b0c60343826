#pragma once

#include "widget/core/widget.h"

#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

namespace Velto::Widget {

enum class GridUnit : std::int32_t { Pixel = 0, Auto = 1, Star = 2 };

// One row or column: a fixed size in DIPs, the size of its content, or a
// weighted share of what is left.
struct GridLength {
    GridUnit kind{GridUnit::Star};
    float value{1}; // DIPs for Pixel, the weight for Star
    float min{0};
    float max{kInfinity};

    static GridLength Pixel(float dips) { return GridLength{GridUnit::Pixel, dips}; }
    static GridLength Auto() { return GridLength{GridUnit::Auto, 1}; }
    static GridLength Star(float weight = 1) { return GridLength{GridUnit::Star, weight}; }
};

// The sizes of one axis: fixed and automatic lengths first, then the stars
// share what remains; a star whose share its min or max changes is fixed at
// that value and the others share again.
std::vector<float> ResolveGridLengths(std::span<const GridLength> definitions,
                                      std::span<const float> automaticSizes, float available,
                                      float spacing);

class Grid : public Widget {
public:
    struct Placement {
        int row{0};
        int column{0};
        int rowSpan{1};
        int columnSpan{1};
    };

    void AddColumn(const GridLength& length);
    void AddRow(const GridLength& length);
    void SetSpacing(float rowSpacing, float columnSpacing);
    // Negative rows or columns become 0, spans below 1 become 1.
    Widget* AddAt(std::unique_ptr<Widget> child, int row, int column, int rowSpan = 1,
                  int columnSpan = 1);
    template <typename T>
    T* AddAt(std::unique_ptr<T> child, int row, int column, int rowSpan = 1, int columnSpan = 1) {
        T* raw = child.get();
        AddAt(std::unique_ptr<Widget>(std::move(child)), row, column, rowSpan, columnSpan);
        return raw;
    }

    // The resolved sizes of the last layout pass.
    const std::vector<float>& ColumnSizes() const { return m_columnSizes; }
    const std::vector<float>& RowSizes() const { return m_rowSizes; }

    std::string_view ClassName() const override { return "Grid"; }

protected:
    SizeF MeasureOverride(SizeF available) override;
    void ArrangeOverride(SizeF finalSize) override;
    void OnChildRemoving(Widget& child) override;

private:
    // The placement clamped into the current rows and columns.
    Placement PlacementOf(const Widget& child) const;

    std::vector<GridLength> m_rowDefinitions;
    std::vector<GridLength> m_columnDefinitions;
    std::unordered_map<const Widget*, Placement> m_placements;
    float m_rowSpacing{0};
    float m_columnSpacing{0};
    std::vector<float> m_columnAuto;
    std::vector<float> m_rowAuto;
    std::vector<float> m_columnSizes;
    std::vector<float> m_rowSizes;
};

} // namespace Velto::Widget
