#pragma once

#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QtGlobal>

// The sorts of the mutable-array category, over arrays of numbers or
// decimal texts. Each element is compared by its integer value (a number's
// value, a text's leading integer, 0 for anything else) as 64 bits. The flag
// true sorts from the largest to the smallest. Every sort keeps every
// element; arrays of fewer than two elements are left as they are.
namespace RVMutableArray {

// A sorted copy of `dataSource`; the argument is not changed.
QVariantList bubbleSortWithDataSource(const QVariantList &dataSource, bool isMaxToMin);
// Sorts `dataSource` in place and returns it.
QVariantList &selectionSortWithDataSource(QVariantList &dataSource, bool isMaxToMin);

void heapSort(QVariantList &array, bool isFromMaxToMin);
void quickSort(QVariantList &array, bool isFromMaxToMin);
// Equal values end up in front of their equals.
void insertSort(QVariantList &array, bool isFromMaxToMin);
void shellSort(QVariantList &array, bool isFromMaxToMin);
// Stable.
void mergeSort(QVariantList &array, bool isFromMaxToMin);
// Sorts decimal texts digit by digit. The array receives the texts padded
// on the left with "0" to the length of the largest value's text; elements
// that are not texts of digits are kept but sort by what digits they have.
void radixSort(QVariantList &array, bool isFromMaxToMin);

// The helpers, usable on their own. Out-of-range indices and lengths are
// clipped to the array.
void HeapAdjust(QVariantList &array, qint32 parent, qint32 length);
void quickSort(QVariantList &array, qint64 leftIndex, qint64 rightIndex);
void mergeSort(QVariantList &array, qint64 leftIndex, qint64 rightIndex);
// Merges the sorted runs leftIndex..mindIndex-1 and mindIndex..rightIndex.
void merge(QVariantList &array, qint64 leftIndex, qint64 rightIndex, qint64 mindIndex);
// The element with the largest integer value (the first of equals); the
// text "0" when no element is above 0.
QVariant getArrayInMaxNumber(const QVariantList &array);
// Pads every shorter element's text on the left with "0" to the length of
// `maxNumber`.
void complementWithArray(QVariantList &array, const QString &maxNumber);
// A copy of `array` sorted on the last length-of-`maxNumber` characters.
QVariantList radixSort(const QVariantList &array, const QString &maxNumber);

} // namespace RVMutableArray
