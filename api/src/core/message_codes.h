// The request engine's message codes: settings 0x4000-0x404F, operations 0x4063-0x4076. They
// double as copy-thread commands and as string ids of the code names.
#pragma once

#include <cstdint>

namespace hxda {

inline constexpr std::uint32_t HXDRV_GETSSCAPS = 0x4000;
inline constexpr std::uint32_t HXDRV_SETDMAUSAGE = 0x4001;
inline constexpr std::uint32_t HXDRV_GETDMAUSAGE = 0x4002;
inline constexpr std::uint32_t HXDRV_SETTRIGGEREDSCANUSAGE = 0x4003;
inline constexpr std::uint32_t HXDRV_GETTRIGGEREDSCANUSAGE = 0x4004;
inline constexpr std::uint32_t HXDRV_SETCHANNELLISTSIZE = 0x4005;
inline constexpr std::uint32_t HXDRV_GETCHANNELLISTSIZE = 0x4006;
inline constexpr std::uint32_t HXDRV_SETCHANNELLISTENTRY = 0x4007;
inline constexpr std::uint32_t HXDRV_GETCHANNELLISTENTRY = 0x4008;
inline constexpr std::uint32_t HXDRV_SETGAINLISTENTRY = 0x4009;
inline constexpr std::uint32_t HXDRV_GETGAINLISTENTRY = 0x400A;
inline constexpr std::uint32_t HXDRV_SETCHANNELFILTER = 0x400B;
inline constexpr std::uint32_t HXDRV_GETCHANNELFILTER = 0x400C;
inline constexpr std::uint32_t HXDRV_SETRANGE = 0x400D;
inline constexpr std::uint32_t HXDRV_GETRANGE = 0x400E;
inline constexpr std::uint32_t HXDRV_SETCHANNELTYPE = 0x400F;
inline constexpr std::uint32_t HXDRV_GETCHANNELTYPE = 0x4010;
inline constexpr std::uint32_t HXDRV_SETENCODING = 0x4011;
inline constexpr std::uint32_t HXDRV_GETENCODING = 0x4012;
inline constexpr std::uint32_t HXDRV_SETTRIGGER = 0x4013;
inline constexpr std::uint32_t HXDRV_GETTRIGGER = 0x4014;
inline constexpr std::uint32_t HXDRV_SETRESOLUTION = 0x4015;
inline constexpr std::uint32_t HXDRV_GETRESOLUTION = 0x4016;
inline constexpr std::uint32_t HXDRV_SETCLOCKSOURCE = 0x4017;
inline constexpr std::uint32_t HXDRV_GETCLOCKSOURCE = 0x4018;
inline constexpr std::uint32_t HXDRV_SETCLOCKFREQUENCY = 0x4019;
inline constexpr std::uint32_t HXDRV_GETCLOCKFREQUENCY = 0x401A;
inline constexpr std::uint32_t HXDRV_SETRETRIGGERFREQUENCY = 0x401B;
inline constexpr std::uint32_t HXDRV_GETRETRIGGERFREQUENCY = 0x401C;
inline constexpr std::uint32_t HXDRV_SETEXTERNCLOCKDIVIDER = 0x401D;
inline constexpr std::uint32_t HXDRV_GETEXTERNCLOCKDIVIDER = 0x401E;
inline constexpr std::uint32_t HXDRV_SETGATETYPE = 0x401F;
inline constexpr std::uint32_t HXDRV_GETGATETYPE = 0x4020;
inline constexpr std::uint32_t HXDRV_SETPULSETYPE = 0x4021;
inline constexpr std::uint32_t HXDRV_GETPULSETYPE = 0x4022;
inline constexpr std::uint32_t HXDRV_SETPULSEWIDTH = 0x4023;
inline constexpr std::uint32_t HXDRV_GETPULSEWIDTH = 0x4024;
inline constexpr std::uint32_t HXDRV_SETCOUNTERMODE = 0x4025;
inline constexpr std::uint32_t HXDRV_GETCOUNTERMODE = 0x4026;
inline constexpr std::uint32_t HXDRV_SETCASCADEMODE = 0x4027;
inline constexpr std::uint32_t HXDRV_GETCASCADEMODE = 0x4028;
inline constexpr std::uint32_t HXDRV_SETWRAPMODE = 0x4029;
inline constexpr std::uint32_t HXDRV_GETWRAPMODE = 0x402A;
inline constexpr std::uint32_t HXDRV_SETDATAFLOW = 0x402B;
inline constexpr std::uint32_t HXDRV_GETDATAFLOW = 0x402C;
inline constexpr std::uint32_t HXDRV_SETWINDOWHANDLE = 0x402D;
inline constexpr std::uint32_t HXDRV_GETWINDOWHANDLE = 0x402E;
inline constexpr std::uint32_t HXDRV_SETNOTIFYPROC = 0x402F;
inline constexpr std::uint32_t HXDRV_GETNOTIFYPROC = 0x4030;
inline constexpr std::uint32_t HXDRV_SETCHANNELLISTINHIBIT = 0x4031;
inline constexpr std::uint32_t HXDRV_GETCHANNELLISTINHIBIT = 0x4032;
inline constexpr std::uint32_t HXDRV_SETDIGITALIOLISTENTRY = 0x4033;
inline constexpr std::uint32_t HXDRV_GETDIGITALIOLISTENTRY = 0x4034;
inline constexpr std::uint32_t HXDRV_SETSYNCHRONOUSDIOUSAGE = 0x4035;
inline constexpr std::uint32_t HXDRV_GETSYNCHRONOUSDIOUSAGE = 0x4036;
inline constexpr std::uint32_t HXDRV_SETTRANSFERSIZE = 0x4037;
inline constexpr std::uint32_t HXDRV_GETTRANSFERSIZE = 0x4038;
inline constexpr std::uint32_t HXDRV_SETTRANSFERCOUNT = 0x4039;
inline constexpr std::uint32_t HXDRV_GETTRANSFERCOUNT = 0x403A;
inline constexpr std::uint32_t HXDRV_SETCHANNELRANGE = 0x403B;
inline constexpr std::uint32_t HXDRV_GETCHANNELRANGE = 0x403C;
inline constexpr std::uint32_t HXDRV_PUTBUFFER = 0x403D;
inline constexpr std::uint32_t HXDRV_GETBUFFER = 0x403E;
inline constexpr std::uint32_t HXDRV_GETQUEUESIZES = 0x403F;
inline constexpr std::uint32_t HXDRV_FLUSHBUFFERS = 0x4040;
inline constexpr std::uint32_t HXDRV_SETRETRIGGERMODE = 0x4041;
inline constexpr std::uint32_t HXDRV_GETRETRIGGERMODE = 0x4042;
inline constexpr std::uint32_t HXDRV_SETPRETRIGGERSOURCE = 0x4043;
inline constexpr std::uint32_t HXDRV_GETPRETRIGGERSOURCE = 0x4044;
inline constexpr std::uint32_t HXDRV_SETMULTISCANCOUNT = 0x4045;
inline constexpr std::uint32_t HXDRV_GETMULTISCANCOUNT = 0x4046;
inline constexpr std::uint32_t HXDRV_SETRETRIGGERSOURCE = 0x4047;
inline constexpr std::uint32_t HXDRV_GETRETRIGGERSOURCE = 0x4048;
inline constexpr std::uint32_t HXDRV_SETSPECIALVPICONFIGMODE = 0x4049;
inline constexpr std::uint32_t HXDRV_GETSPECIALVPICONFIGMODE = 0x404A;
inline constexpr std::uint32_t HXDRV_SETSTARTEDGE = 0x404B;
inline constexpr std::uint32_t HXDRV_GETSTARTEDGE = 0x404C;
inline constexpr std::uint32_t HXDRV_SETSTOPEDGE = 0x404D;
inline constexpr std::uint32_t HXDRV_GETSTOPEDGE = 0x404E;
inline constexpr std::uint32_t HXDRV_SETQUADRATURE = 0x404F;
inline constexpr std::uint32_t HXDRV_NULL = 0x4063;
inline constexpr std::uint32_t HXDRV_READEVENTS = 0x4064;
inline constexpr std::uint32_t HXDRV_SETSINGLEVALUE = 0x4065;
inline constexpr std::uint32_t HXDRV_GETSINGLEVALUE = 0x4066;
inline constexpr std::uint32_t HXDRV_CONFIG = 0x4067;
inline constexpr std::uint32_t HXDRV_START = 0x4068;
inline constexpr std::uint32_t HXDRV_STOP = 0x4069;
inline constexpr std::uint32_t HXDRV_PAUSE = 0x406A;
inline constexpr std::uint32_t HXDRV_CONTINUE = 0x406B;
inline constexpr std::uint32_t HXDRV_RESET = 0x406C;
inline constexpr std::uint32_t HXDRV_ABORT = 0x406D;
inline constexpr std::uint32_t HXDRV_BURSTMQCONNECT = 0x406E;
inline constexpr std::uint32_t HXDRV_PRESTART = 0x406F;
inline constexpr std::uint32_t HXDRV_SIMULSTART = 0x4070;
inline constexpr std::uint32_t HXDRV_ALLOCATE = 0x4071;
inline constexpr std::uint32_t HXDRV_DEALLOCATE = 0x4072;
inline constexpr std::uint32_t HXDRV_FLUSHINPROCESS = 0x4073;
inline constexpr std::uint32_t HXDRV_WRITEREG = 0x4074;
inline constexpr std::uint32_t HXDRV_READREG = 0x4075;
inline constexpr std::uint32_t HXDRV_GETSINGLEVALUES = 0x4076;

inline constexpr std::uint32_t kFirstSettingsCode = HXDRV_GETSSCAPS;
inline constexpr std::uint32_t kLastSettingsCode = HXDRV_SETQUADRATURE;
inline constexpr std::uint32_t kFirstOperationCode = HXDRV_NULL;
inline constexpr std::uint32_t kLastOperationCode = HXDRV_GETSINGLEVALUES;

}  // namespace hxda
