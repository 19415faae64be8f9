#include "Categories/RVSort.h"

#include "Categories/RVArray.h"
#include "Categories/RVNumberValue_p.h"

#include <QLocale>

#include <algorithm>
#include <array>
#include <limits>
#include <utility>

namespace RVMutableArray {

namespace {

qint64 valueAt(const QVariantList &array, qsizetype index)
{
    return rvIntegerValue(array.at(index));
}

// The text a radix pass reads; nothing for elements that have none.
std::optional<QString> elementText(const QVariant &element)
{
    if (element.typeId() == QMetaType::QString)
        return element.toString();
    if (element.typeId() == QMetaType::Bool)
        return element.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    if (element.typeId() == QMetaType::Double || element.typeId() == QMetaType::Float)
        return QString::number(element.toDouble(), 'g', QLocale::FloatingPointShortest);
    if (element.typeId() == QMetaType::ULongLong || element.typeId() == QMetaType::ULong)
        return QString::number(element.toULongLong());
    if (rvIsNumber(element))
        return QString::number(element.toLongLong());
    return std::nullopt;
}

int digitFromEnd(const QVariant &element, qsizetype position)
{
    const std::optional<QString> text = elementText(element);
    if (!text)
        return 0;
    const qsizetype index = text->size() - 1 - position;
    if (index < 0)
        return 0;
    const QChar c = text->at(index);
    return c >= QLatin1Char('0') && c <= QLatin1Char('9') ? c.unicode() - '0' : 0;
}

// A range of indices clipped to the array, or nothing when it is empty.
bool clipRange(const QVariantList &array, qint64 &left, qint64 &right)
{
    left = std::max<qint64>(left, 0);
    right = std::min<qint64>(right, array.size() - 1);
    return left < right;
}

void insertionPass(QVariantList &array, qsizetype gap)
{
    for (qsizetype k = gap; k < array.size(); ++k) {
        for (qsizetype j = k; j >= gap && valueAt(array, j - gap) > valueAt(array, j); j -= gap)
            array.swapItemsAt(j - gap, j);
    }
}

void finishDescending(QVariantList &array, bool isFromMaxToMin)
{
    if (isFromMaxToMin)
        rv_reverse(array);
}

} // namespace

QVariantList bubbleSortWithDataSource(const QVariantList &dataSource, bool isMaxToMin)
{
    QVariantList sorted = dataSource;
    const qsizetype count = sorted.size();
    for (qsizetype pass = 0; pass < count; ++pass) {
        bool swapped = false;
        for (qsizetype i = 0; i + 1 < count - pass; ++i) {
            const qint64 first = valueAt(sorted, i);
            const qint64 second = valueAt(sorted, i + 1);
            if (isMaxToMin ? first < second : first > second) {
                sorted.swapItemsAt(i, i + 1);
                swapped = true;
            }
        }
        if (!swapped)
            break;
    }
    return sorted;
}

QVariantList &selectionSortWithDataSource(QVariantList &dataSource, bool isMaxToMin)
{
    const qsizetype count = dataSource.size();
    for (qsizetype i = 0; i < count; ++i) {
        qsizetype best = i;
        qint64 bestValue = valueAt(dataSource, i);
        for (qsizetype j = i + 1; j < count; ++j) {
            const qint64 value = valueAt(dataSource, j);
            if (isMaxToMin ? value > bestValue : value < bestValue) {
                best = j;
                bestValue = value;
            }
        }
        dataSource.swapItemsAt(i, best);
    }
    return dataSource;
}

void HeapAdjust(QVariantList &array, qint32 parent, qint32 length)
{
    const qint64 size = std::min<qint64>(length, array.size());
    qint64 p = parent;
    if (p < 0)
        return;
    while (2 * p + 2 < size) {
        const qint64 left = 2 * p + 1;
        const qint64 right = left + 1;
        const qint64 larger = valueAt(array, right) > valueAt(array, left) ? right : left;
        if (valueAt(array, p) < valueAt(array, larger))
            array.swapItemsAt(p, larger);
        p = larger;
    }
    const qint64 left = 2 * p + 1;
    if (left < size && valueAt(array, left) > valueAt(array, p))
        array.swapItemsAt(p, left);
}

void heapSort(QVariantList &array, bool isFromMaxToMin)
{
    const qsizetype count = array.size();
    if (count < 2)
        return;
    // Heap indices are 32-bit; longer arrays are sorted the same way in 64.
    if (count > std::numeric_limits<qint32>::max()) {
        mergeSort(array, isFromMaxToMin);
        return;
    }
    for (qint32 parent = static_cast<qint32>(count / 2); parent >= 0; --parent)
        HeapAdjust(array, parent, static_cast<qint32>(count));
    for (qint32 k = static_cast<qint32>(count - 1); k > 0; --k) {
        array.swapItemsAt(0, k);
        HeapAdjust(array, 0, k);
    }
    finishDescending(array, isFromMaxToMin);
}

void quickSort(QVariantList &array, qint64 leftIndex, qint64 rightIndex)
{
    qint64 left = leftIndex;
    qint64 right = rightIndex;
    // Recursing only into the smaller side keeps the depth logarithmic even
    // on sorted input, where the first element is the worst pivot.
    while (clipRange(array, left, right)) {
        // The pivot is the first element of the range; the middle one is
        // moved there first, or sorted and reversed input (the common case)
        // would take quadratic time.
        array.swapItemsAt(left, left + (right - left) / 2);
        const qint64 pivot = valueAt(array, left);
        qint64 i = left;
        qint64 j = right;
        while (i < j) {
            while (i < j && valueAt(array, j) >= pivot)
                --j;
            if (i != j)
                array.swapItemsAt(i, j);
            while (i < j && valueAt(array, i) <= pivot)
                ++i;
            if (i != j)
                array.swapItemsAt(i, j);
        }
        if (i - left < right - i) {
            quickSort(array, left, i - 1);
            left = i + 1;
        } else {
            quickSort(array, i + 1, right);
            right = i - 1;
        }
    }
}

void quickSort(QVariantList &array, bool isFromMaxToMin)
{
    if (array.size() < 2)
        return;
    quickSort(array, 0, array.size() - 1);
    finishDescending(array, isFromMaxToMin);
}

void insertSort(QVariantList &array, bool isFromMaxToMin)
{
    const qsizetype count = array.size();
    if (count < 2)
        return;
    for (qsizetype i = 1; i < count; ++i) {
        const qint64 key = valueAt(array, i);
        qsizetype j = i - 1;
        while (j >= 0 && key <= valueAt(array, j))
            --j;
        // The element itself moves; rewriting it as the text of its integer
        // value would lose fractions, texts and types.
        if (j != i - 1)
            array.move(i, j + 1);
    }
    finishDescending(array, isFromMaxToMin);
}

void shellSort(QVariantList &array, bool isFromMaxToMin)
{
    const qsizetype count = array.size();
    if (count < 2)
        return;
    for (qsizetype gap = count / 2; gap >= 1; gap /= 2)
        insertionPass(array, gap);
    finishDescending(array, isFromMaxToMin);
}

void merge(QVariantList &array, qint64 leftIndex, qint64 rightIndex, qint64 mindIndex)
{
    qint64 left = leftIndex;
    qint64 right = rightIndex;
    if (!clipRange(array, left, right) || mindIndex <= left || mindIndex > right)
        return;
    if (right == mindIndex && right - left == 1) {
        if (valueAt(array, left) > valueAt(array, right))
            array.swapItemsAt(left, right);
        return;
    }
    QVariantList merged;
    merged.reserve(right - left + 1);
    qint64 a = left;
    qint64 b = mindIndex;
    while (a < mindIndex && b <= right) {
        if (valueAt(array, b) < valueAt(array, a))
            merged.append(array.at(b++));
        else
            merged.append(array.at(a++));
    }
    while (a < mindIndex)
        merged.append(array.at(a++));
    while (b <= right)
        merged.append(array.at(b++));
    for (qint64 k = 0; k < merged.size(); ++k)
        array[left + k] = merged.at(k);
}

void mergeSort(QVariantList &array, qint64 leftIndex, qint64 rightIndex)
{
    qint64 left = leftIndex;
    qint64 right = rightIndex;
    if (!clipRange(array, left, right))
        return;
    const qint64 middle = left + (right - left + 1) / 2;
    mergeSort(array, left, middle - 1);
    mergeSort(array, middle, right);
    merge(array, left, right, middle);
}

void mergeSort(QVariantList &array, bool isFromMaxToMin)
{
    if (array.size() < 2)
        return;
    mergeSort(array, 0, array.size() - 1);
    finishDescending(array, isFromMaxToMin);
}

QVariant getArrayInMaxNumber(const QVariantList &array)
{
    QVariant maximum = QStringLiteral("0");
    qint64 maximumValue = 0;
    for (const QVariant &element : array) {
        const qint64 value = rvIntegerValue(element);
        if (value > maximumValue) {
            maximum = element;
            maximumValue = value;
        }
    }
    return maximum;
}

void complementWithArray(QVariantList &array, const QString &maxNumber)
{
    for (QVariant &element : array) {
        const std::optional<QString> text = elementText(element);
        if (text && text->size() < maxNumber.size())
            element = QString(maxNumber.size() - text->size(), QLatin1Char('0')) + *text;
    }
}

QVariantList radixSort(const QVariantList &array, const QString &maxNumber)
{
    QVariantList current = array;
    for (qsizetype position = 0; position < maxNumber.size(); ++position) {
        std::array<QVariantList, 10> buckets;
        for (const QVariant &element : std::as_const(current))
            buckets[static_cast<size_t>(digitFromEnd(element, position))].append(element);
        current.clear();
        for (const QVariantList &bucket : buckets)
            current.append(bucket);
    }
    return current;
}

void radixSort(QVariantList &array, bool isFromMaxToMin)
{
    if (array.size() < 2)
        return;
    const QString longest = elementText(getArrayInMaxNumber(array)).value_or(QStringLiteral("0"));
    complementWithArray(array, longest);
    array = radixSort(array, longest);
    finishDescending(array, isFromMaxToMin);
}

} // namespace RVMutableArray
