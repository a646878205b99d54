// Network source statistics, read through automation-compatible properties.
#pragma once
#include <oaidl.h>

DEFINE_GUID(IID_IAMNetworkStatus, 0xfa2aa8f3, 0x8b62, 0x11d0, 0xa5, 0x20, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00);

#ifdef __cplusplus
// Reception quality and buffering progress are percentages.
struct IAMNetworkStatus : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_ReceivedPackets(LONG *pReceivedPackets) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_RecoveredPackets(LONG *pRecoveredPackets) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_LostPackets(LONG *pLostPackets) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ReceptionQuality(LONG *pReceptionQuality) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_BufferingCount(LONG *pBufferingCount) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsBroadcast(VARIANT_BOOL *pIsBroadcast) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_BufferingProgress(LONG *pBufferingProgress) = 0;
};
#endif
