#include "QVTavlinSDKAdapter.h"

QVTavlinSDKAdapter::QVTavlinSDKAdapter(TavlinDelegate *delegate, TavlinServices services)
    : m_sdk(std::make_unique<TavlinSDK>(delegate, std::move(services)))
{
}

QVTavlinSDKAdapter::~QVTavlinSDKAdapter()
{
    m_sdk->setDelegate(nullptr);
}
