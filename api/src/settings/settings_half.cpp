#include "settings/settings_half.h"

#include "core/message_codes.h"
#include "hxda/api_status.h"
#include "settings/buffer_queues.h"
#include "settings/setting_topics.h"

namespace hxda {

ApiStatus settingsHalf(SubsystemRecord& subsystem, std::uint32_t code, MessageRecord& message) {
    switch (code) {
        case HXDRV_GETSSCAPS:
            return getSubsystemCapability(subsystem, message);
        case HXDRV_SETDMAUSAGE:
        case HXDRV_GETDMAUSAGE:
        case HXDRV_SETTRIGGEREDSCANUSAGE:
        case HXDRV_GETTRIGGEREDSCANUSAGE:
        case HXDRV_SETCHANNELTYPE:
        case HXDRV_GETCHANNELTYPE:
        case HXDRV_SETENCODING:
        case HXDRV_GETENCODING:
        case HXDRV_SETRESOLUTION:
        case HXDRV_GETRESOLUTION:
        case HXDRV_SETWRAPMODE:
        case HXDRV_GETWRAPMODE:
        case HXDRV_SETDATAFLOW:
        case HXDRV_GETDATAFLOW:
        case HXDRV_SETMULTISCANCOUNT:
        case HXDRV_GETMULTISCANCOUNT:
        case HXDRV_SETSPECIALVPICONFIGMODE:
        case HXDRV_GETSPECIALVPICONFIGMODE:
            return acquisitionSetting(subsystem, code, message);
        case HXDRV_SETCHANNELLISTSIZE:
        case HXDRV_GETCHANNELLISTSIZE:
        case HXDRV_SETCHANNELLISTENTRY:
        case HXDRV_GETCHANNELLISTENTRY:
        case HXDRV_SETGAINLISTENTRY:
        case HXDRV_GETGAINLISTENTRY:
        case HXDRV_SETCHANNELFILTER:
        case HXDRV_GETCHANNELFILTER:
        case HXDRV_SETCHANNELLISTINHIBIT:
        case HXDRV_GETCHANNELLISTINHIBIT:
        case HXDRV_SETDIGITALIOLISTENTRY:
        case HXDRV_GETDIGITALIOLISTENTRY:
        case HXDRV_SETSYNCHRONOUSDIOUSAGE:
        case HXDRV_GETSYNCHRONOUSDIOUSAGE:
            return listSetting(subsystem, code, message);
        case HXDRV_SETRANGE:
        case HXDRV_GETRANGE:
        case HXDRV_SETCHANNELRANGE:
        case HXDRV_GETCHANNELRANGE:
            return rangeSetting(subsystem, code, message);
        case HXDRV_SETCLOCKSOURCE:
        case HXDRV_GETCLOCKSOURCE:
        case HXDRV_SETCLOCKFREQUENCY:
        case HXDRV_GETCLOCKFREQUENCY:
        case HXDRV_SETRETRIGGERFREQUENCY:
        case HXDRV_GETRETRIGGERFREQUENCY:
        case HXDRV_SETEXTERNCLOCKDIVIDER:
        case HXDRV_GETEXTERNCLOCKDIVIDER:
            return clockSetting(subsystem, code, message);
        case HXDRV_SETTRIGGER:
        case HXDRV_GETTRIGGER:
        case HXDRV_SETRETRIGGERMODE:
        case HXDRV_GETRETRIGGERMODE:
        case HXDRV_SETPRETRIGGERSOURCE:
        case HXDRV_GETPRETRIGGERSOURCE:
        case HXDRV_SETRETRIGGERSOURCE:
        case HXDRV_GETRETRIGGERSOURCE:
            return triggerSetting(subsystem, code, message);
        case HXDRV_SETGATETYPE:
        case HXDRV_GETGATETYPE:
        case HXDRV_SETPULSETYPE:
        case HXDRV_GETPULSETYPE:
        case HXDRV_SETPULSEWIDTH:
        case HXDRV_GETPULSEWIDTH:
        case HXDRV_SETCOUNTERMODE:
        case HXDRV_GETCOUNTERMODE:
        case HXDRV_SETCASCADEMODE:
        case HXDRV_GETCASCADEMODE:
        case HXDRV_SETSTARTEDGE:
        case HXDRV_GETSTARTEDGE:
        case HXDRV_SETSTOPEDGE:
        case HXDRV_GETSTOPEDGE:
        case HXDRV_SETQUADRATURE:
            return counterTimerSetting(subsystem, code, message);
        case HXDRV_SETWINDOWHANDLE:
        case HXDRV_GETWINDOWHANDLE:
        case HXDRV_SETNOTIFYPROC:
        case HXDRV_GETNOTIFYPROC:
            return notificationSetting(subsystem, code, message);
        case HXDRV_PUTBUFFER:
        case HXDRV_GETBUFFER:
        case HXDRV_GETQUEUESIZES:
        case HXDRV_FLUSHBUFFERS:
            return bufferQueueMessage(subsystem, code, message);
        default:
            // Transfer size and count (0x4037-0x403A) have no handler.
            return HXNOTSUPPORTED;
    }
}

}  // namespace hxda
