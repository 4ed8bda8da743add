#pragma once
// The pictures of a column's profile and of counts by value: ranked bars, a histogram, the age
// pyramid and the counties. Drawn with QPainter on any paint device (the window, a PNG, a PDF,
// the printer), so the window and `orbelan chart` show the same picture.
#include <QPainter>
#include <QRectF>
#include <QSize>
#include <string>

#include "core/chart_data.h"

namespace orbelan {

// Readable at this size: the window opens the chart at it, the files are written at it.
QSize ChartSize(const ChartData& chart);
void DrawChart(QPainter& painter, const QRectF& area, const ChartData& chart);

// The bar under a point of the area DrawChart painted: its index, and for the pyramid which
// side (second = women). -1 when none.
int ChartBarAt(const ChartData& chart, const QRectF& area, const QPointF& point,
               bool* second = nullptr);

// PNG or PDF by the file's ending (.png, .pdf), written under a scratch name and renamed into
// place. Makes sure of a Qt application (the command line). Throws std::runtime_error.
void SaveChart(const ChartData& chart, const std::string& path);

}  // namespace orbelan
