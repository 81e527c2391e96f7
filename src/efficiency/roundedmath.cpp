#include "efficiency/roundedmath.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tcsum {

static_assert(std::numeric_limits<double>::is_iec559 && std::numeric_limits<double>::digits == 53,
              "the single rounding from double needs IEEE 754 double precision");

namespace roundedmath {

namespace {

// Y rounded to float; beyond the float range, where the conversion is not
// defined, infinity.
float toFloat(double y) {
  constexpr float kInfinity = std::numeric_limits<float>::infinity();
  if (y >= kOverflowMidpoint) return kInfinity;
  if (y <= -kOverflowMidpoint) return -kInfinity;
  return static_cast<float>(y);
}

// Every input whose exact result lies within the window, as printed by the
// exhaustive test (tests/efficiency/roundedmath_exhaustive.cpp) when the
// table and the inputs it finds part. With glibc's double functions only
// log10(0x1.fddcf4p-98) would round wrong; other libraries err elsewhere.
constexpr HardCase kLog10Cases[] = {
    {0x1.2f6c1ap-124f, -0x1.2a0802p+5f}, {0x1.1e5df8p-123f, -0x1.27d2f4p+5f},
    {0x1.417c86p-123f, -0x1.276c12p+5f}, {0x1.4be4b2p-123f, -0x1.274fbcp+5f},
    {0x1.84352ep-123f, -0x1.26c456p+5f}, {0x1.91bc98p-123f, -0x1.26a5dcp+5f},
    {0x1.f0c82p-123f, -0x1.25e8fcp+5f},  {0x1.49bd54p-122f, -0x1.24ed02p+5f},
    {0x1.65f576p-120f, -0x1.1fd2f4p+5f}, {0x1.a62bc4p-120f, -0x1.1f4034p+5f},
    {0x1.f62bbep-120f, -0x1.1ea5dcp+5f}, {0x1.367d14p-119f, -0x1.1de8fcp+5f},
    {0x1.6d709ap-119f, -0x1.1d580ep+5f}, {0x1.95061cp-117f, -0x1.182b9p+5f},
    {0x1.c82cd6p-117f, -0x1.17c1c6p+5f}, {0x1.d4137p-117f, -0x1.17aaep+5f},
    {0x1.d98afcp-117f, -0x1.17a08ap+5f}, {0x1.1d9ad4p-116f, -0x1.16f9c2p+5f},
    {0x1.d1024cp-115f, -0x1.12dfb2p+5f}, {0x1.d73ae4p-115f, -0x1.12d3ep+5f},
    {0x1.9724dap-114f, -0x1.10ed64p+5f}, {0x1.248c26p-113f, -0x1.0faaep+5f},
    {0x1.b302f6p-111f, -0x1.0978f8p+5f}, {0x1.30e2f6p-110f, -0x1.084c9ap+5f},
    {0x1.f4301p-108f, -0x1.01c344p+5f},  {0x1.9a99dp-107f, -0x1.000a4ep+5f},
    {0x1.6ccfbap-106f, -0x1.fc15eap+4f}, {0x1.778dc8p-106f, -0x1.fbe24ap+4f},
    {0x1.9ad23p-106f, -0x1.fb42a2p+4f},  {0x1.d1baa8p-105f, -0x1.f59276p+4f},
    {0x1.127e96p-104f, -0x1.f46dep+4f},  {0x1.8bebbep-104f, -0x1.f1e24ep+4f},
    {0x1.d5713ap-103f, -0x1.ebe24ap+4f}, {0x1.00c35ep-102f, -0x1.eb42a2p+4f},
    {0x1.602686p-102f, -0x1.e910aep+4f}, {0x1.eecefcp-102f, -0x1.e6b3aap+4f},
    {0x1.413b44p-101f, -0x1.e4e322p+4f}, {0x1.762f56p-100f, -0x1.df02acp+4f},
    {0x1.ecb87ap-100f, -0x1.dd1924p+4f}, {0x1.218c0ep-99f, -0x1.dbf9dp+4f},
    {0x1.41bba4p-99f, -0x1.db3e5p+4f},   {0x1.cee124p-99f, -0x1.d8b742p+4f},
    {0x1.0cad52p-98f, -0x1.d7adep+4f},   {0x1.c7784p-98f, -0x1.d402f2p+4f},
    {0x1.fddcf4p-98f, -0x1.d33a46p+4f},  {0x1.308c0ap-95f, -0x1.c85be4p+4f},
    {0x1.a847e8p-95f, -0x1.c60e12p+4f},  {0x1.1bd3c2p-94f, -0x1.c40836p+4f},
    {0x1.1cab28p-94f, -0x1.c402f2p+4f},  {0x1.7115d8p-94f, -0x1.c234fap+4f},
    {0x1.7cc53cp-94f, -0x1.c1fd86p+4f},  {0x1.9be6c6p-94f, -0x1.c171bcp+4f},
    {0x1.a2d192p-94f, -0x1.c1541ap+4f},  {0x1.d5c628p-93f, -0x1.bbb6dap+4f},
    {0x1.df406ep-93f, -0x1.bb935p+4f},   {0x1.1727b8p-91f, -0x1.b5b2aep+4f},
    {0x1.3f72e4p-91f, -0x1.b4c2d6p+4f},  {0x1.63d5f2p-91f, -0x1.b402f2p+4f},
    {0x1.cd5b4ep-91f, -0x1.b234fap+4f},  {0x1.46ac2ep-90f, -0x1.afca0cp+4f},
    {0x1.a24c8ep-90f, -0x1.ae123cp+4f},  {0x1.146696p-89f, -0x1.ac224ap+4f},
    {0x1.5cf1a6p-88f, -0x1.a5b2aep+4f},  {0x1.6af48ep-88f, -0x1.a56ca6p+4f},
    {0x1.2c9b8ap-84f, -0x1.9377dap+4f},  {0x1.c0536ap-82f, -0x1.870ec6p+4f},
    {0x1.cb4c1p-82f, -0x1.86e3c2p+4f},   {0x1.960454p-81f, -0x1.82ee14p+4f},
    {0x1.0405f8p-80f, -0x1.8135c6p+4f},  {0x1.75b39cp-80f, -0x1.7eb098p+4f},
    {0x1.91bb8cp-80f, -0x1.7e2feep+4f},  {0x1.d4befep-79f, -0x1.784c7cp+4f},
    {0x1.1f0f8ap-78f, -0x1.76e3c2p+4f},  {0x1.6c812cp-78f, -0x1.753ae2p+4f},
    {0x1.450776p-77f, -0x1.7135c6p+4f},  {0x1.89d2eap-77f, -0x1.6fe03ep+4f},
    {0x1.69393cp-76f, -0x1.6ba8fp+4f},   {0x1.a2d42ep-76f, -0x1.6aa1bap+4f},
    {0x1.c02bdcp-76f, -0x1.6a2944p+4f},  {0x1.e2b60ep-73f, -0x1.5b3224p+4f},
    {0x1.1d97b4p-72f, -0x1.5a06c4p+4f},  {0x1.5bce62p-72f, -0x1.58a832p+4f},
    {0x1.cbc7c6p-71f, -0x1.51e6bp+4f},   {0x1.ff77b2p-70f, -0x1.4c5826p+4f},
    {0x1.43bb2ap-67f, -0x1.4112b2p+4f},  {0x1.7d07f6p-67f, -0x1.3ff0cep+4f},
    {0x1.eda06ep-67f, -0x1.3e244p+4f},   {0x1.58245ep-66f, -0x1.3bd4eap+4f},
    {0x1.44e11cp-65f, -0x1.376a5ep+4f},  {0x1.9513cp-65f, -0x1.35e1e6p+4f},
    {0x1.da3b18p-64f, -0x1.2ff882p+4f},  {0x1.326748p-63f, -0x1.2e307cp+4f},
    {0x1.b6109ep-63f, -0x1.2bb498p+4f},  {0x1.d84deep-62f, -0x1.265db4p+4f},
    {0x1.fa58bp-62f, -0x1.25e1e6p+4f},   {0x1.953aap-61f, -0x1.229d28p+4f},
    {0x1.a21c1ep-61f, -0x1.22658p+4f},   {0x1.00371ap-60f, -0x1.20fba4p+4f},
    {0x1.7f011ap-60f, -0x1.1e307cp+4f},  {0x1.a68b84p-60f, -0x1.1d81b4p+4f},
    {0x1.4c944p-59f, -0x1.1a5a94p+4f},   {0x1.3c776ep-58f, -0x1.15e1e6p+4f},
    {0x1.fa8948p-58f, -0x1.129d28p+4f},  {0x1.b879cep-55f, -0x1.0522aep+4f},
    {0x1.df9d76p-54f, -0x1.ff7478p+3f},  {0x1.53511ap-53f, -0x1.faa196p+3f},
    {0x1.0ac8cp-52f, -0x1.f45728p+3f},   {0x1.1ebca2p-52f, -0x1.f3569p+3f},
    {0x1.163a1cp-51f, -0x1.ea1fb6p+3f},  {0x1.594f34p-51f, -0x1.e71f38p+3f},
    {0x1.4d7afp-49f, -0x1.d45728p+3f},   {0x1.41a3dp-48f, -0x1.cb35bcp+3f},
    {0x1.73beap-48f, -0x1.c932acp+3f},   {0x1.8d90e2p-47f, -0x1.bea1b8p+3f},
    {0x1.81d0e6p-46f, -0x1.b56a6ap+3f},  {0x1.a0d9acp-46f, -0x1.b45728p+3f},
    {0x1.920cc4p-45f, -0x1.ab35bcp+3f},  {0x1.d0ae48p-45f, -0x1.a932acp+3f},
    {0x1.da2ec4p-45f, -0x1.a8eaa6p+3f},  {0x1.d20884p-42f, -0x1.8c4236p+3f},
    {0x1.36e7f2p-41f, -0x1.88403ap+3f},  {0x1.857436p-41f, -0x1.851ed6p+3f},
    {0x1.69cef2p-40f, -0x1.7c82c2p+3f},  {0x1.f72166p-39f, -0x1.6e4b9cp+3f},
    {0x1.dd9666p-38f, -0x1.6562fp+3f},   {0x1.87c146p-37f, -0x1.5e81b8p+3f},
    {0x1.c60408p-37f, -0x1.5c74f8p+3f},  {0x1.017794p-36f, -0x1.5ab508p+3f},
    {0x1.f007bp-36f, -0x1.51980ep+3f},   {0x1.fce91p-35f, -0x1.479ad2p+3f},
    {0x1.75f6fp-34f, -0x1.4240f4p+3f},   {0x1.292424p-33f, -0x1.3bd10ap+3f},
    {0x1.3604cep-32f, -0x1.31980ep+3f},  {0x1.e2fb24p-32f, -0x1.2b6ecp+3f},
    {0x1.d374acp-31f, -0x1.2240f4p+3f},  {0x1.4f642cp-30f, -0x1.1d3c1ep+3f},
    {0x1.e1196ep-30f, -0x1.18389p+3f},   {0x1.13d2fep-27f, -0x1.030da8p+3f},
    {0x1.a8d7aep-27f, -0x1.fa19cp+2f},   {0x1.f59dep-27f, -0x1.f57bcp+2f},
    {0x1.461538p-26f, -0x1.ee3032p+2f},  {0x1.d6b6e8p-26f, -0x1.e3fc1ap+2f},
    {0x1.02e078p-25f, -0x1.e1565ep+2f},  {0x1.c14dd4p-25f, -0x1.d20346p+2f},
    {0x1.f05e56p-25f, -0x1.cf3e6ep+2f},  {0x1.6bd7f8p-24f, -0x1.c49c62p+2f},
    {0x1.979a86p-23f, -0x1.ae3032p+2f},  {0x1.439896p-22f, -0x1.a1565ep+2f},
    {0x1.c6cdf6p-21f, -0x1.849c62p+2f},  {0x1.208b3cp-19f, -0x1.6ab9eep+2f},
    {0x1.0af80cp-14f, -0x1.0c8e88p+2f},  {0x1.3379bep-14f, -0x1.08a16p+2f},
    {0x1.4f989cp-13f, -0x1.e5dd34p+1f},  {0x1.accd4ep-13f, -0x1.d83d6p+1f},
    {0x1.128496p-12f, -0x1.ca7ffp+1f},   {0x1.c60838p-12f, -0x1.ae879ap+1f},
    {0x1.13f5e8p-11f, -0x1.a3ad32p+1f},  {0x1.699fe4p-11f, -0x1.94a5ep+1f},
    {0x1.722c0ap-11f, -0x1.93596ap+1f},  {0x1.38b234p-10f, -0x1.76328cp+1f},
    {0x1.c523e2p-9f, -0x1.3b0b22p+1f},   {0x1.58f362p-8f, -0x1.23ad32p+1f},
    {0x1.a5ce66p-7f, -0x1.e3ed1ep+0f},   {0x1.d2b98p-7f, -0x1.d8acf8p+0f},
    {0x1.0dee2ap-6f, -0x1.c87db6p+0f},   {0x1.83d8aep-4f, -0x1.061136p+0f},
    {0x1.49f188p-3f, -0x1.95f5bap-1f},   {0x1.7028e2p-3f, -0x1.7d9722p-1f},
    {0x1.9ce5f6p-3f, -0x1.6416dcp-1f},   {0x1.35a42p-2f, -0x1.09f438p-1f},
    {0x1.e2a206p-2f, -0x1.4e86p-2f},     {0x1.83001ap-1f, -0x1.f1e76p-4f},
    {0x1.b257dp-1f, -0x1.249b4p-4f},     {0x1.bfbc36p-1f, -0x1.dd2c6ep-5f},
    {0x1.66b06ap+1f, 0x1.ca3f98p-2f},    {0x1.55f166p+2f, 0x1.749ecp-1f},
    {0x1.7bfab8p+2f, 0x1.8c12bp-1f},     {0x1.ad7208p+2f, 0x1.a748e6p-1f},
    {0x1.bf674cp+2f, 0x1.b064dap-1f},    {0x1.0077dcp+3f, 0x1.cec9d4p-1f},
    {0x1.128d12p+3f, 0x1.ddf032p-1f},    {0x1.20a27ep+3f, 0x1.e90fccp-1f},
    {0x1.474028p+5f, 0x1.9c9e4ep+0f},    {0x1.f451d2p+5f, 0x1.cbd0fap+0f},
    {0x1.b4a04p+6f, 0x1.04decep+1f},     {0x1.0f399cp+7f, 0x1.10ef32p+1f},
    {0x1.69663ep+7f, 0x1.20e3fcp+1f},    {0x1.237954p+8f, 0x1.3b78p+1f},
    {0x1.a3707p+9f, 0x1.763bc4p+1f},     {0x1.10e428p+10f, 0x1.84decep+1f},
    {0x1.a65e3ep+10f, 0x1.9d26f4p+1f},   {0x1.5f3ca2p+11f, 0x1.b96eaep+1f},
    {0x1.66f5d8p+11f, 0x1.baa438p+1f},   {0x1.94f8bp+11f, 0x1.c1588ap+1f},
    {0x1.7bdb9p+12f, 0x1.e451ap+1f},     {0x1.062646p+13f, 0x1.f63bc4p+1f},
    {0x1.f29ebcp+13f, 0x1.0cfca4p+2f},   {0x1.a44086p+15f, 0x1.2ec41cp+2f},
    {0x1.ebaad4p+15f, 0x1.3320ep+2f},    {0x1.5a7fc2p+16f, 0x1.3cab14p+2f},
    {0x1.b104eap+16f, 0x1.42dd22p+2f},   {0x1.e0e502p+16f, 0x1.45c75p+2f},
    {0x1.e93efcp+17f, 0x1.5985e6p+2f},   {0x1.530baep+18f, 0x1.62988p+2f},
    {0x1.885782p+18f, 0x1.66a75cp+2f},   {0x1.24e3b2p+20f, 0x1.850f62p+2f},
    {0x1.34f4f6p+22f, 0x1.ad138ap+2f},   {0x1.3c18c6p+23f, 0x1.c0fa2ep+2f},
    {0x1.ea0646p+23f, 0x1.cd29a8p+2f},   {0x1.dffc58p+25f, 0x1.f31e86p+2f},
    {0x1.eabea2p+26f, 0x1.03802ap+3f},   {0x1.b55a44p+27f, 0x1.0b8868p+3f},
    {0x1.fe9bb8p+28f, 0x1.175168p+3f},   {0x1.0e8d36p+29f, 0x1.181fcap+3f},
    {0x1.9b8c68p+29f, 0x1.1df42p+3f},    {0x1.d9457cp+31f, 0x1.33296p+3f},
    {0x1.71f28p+33f, 0x1.430124p+3f},    {0x1.fb5d62p+34f, 0x1.5106f8p+3f},
    {0x1.9230a4p+35f, 0x1.576e86p+3f},   {0x1.ce6f2p+36f, 0x1.630124p+3f},
    {0x1.61ffc4p+37f, 0x1.68ec84p+3f},   {0x1.7169e6p+37f, 0x1.698428p+3f},
    {0x1.f4d70ep+38f, 0x1.776112p+3f},   {0x1.e9e41ep+39f, 0x1.80b476p+3f},
    {0x1.210574p+40f, 0x1.830124p+3f},   {0x1.5c53c4p+40f, 0x1.85992cp+3f},
    {0x1.a9fc7ep+41f, 0x1.920742p+3f},   {0x1.f35ec2p+41f, 0x1.943cb8p+3f},
    {0x1.8b09fap+42f, 0x1.9a9cf4p+3f},   {0x1.fb764ep+42f, 0x1.9e17f2p+3f},
    {0x1.540de2p+44f, 0x1.abcbcep+3f},   {0x1.8e22d6p+44f, 0x1.adfcd2p+3f},
    {0x1.b8270ap+45f, 0x1.b903cap+3f},   {0x1.f062dep+45f, 0x1.baaf8ep+3f},
    {0x1.2a72ep+46f, 0x1.bd3f92p+3f},    {0x1.2cb2fep+46f, 0x1.bd5a4cp+3f},
    {0x1.ce2d0ap+46f, 0x1.c35388p+3f},   {0x1.f190ecp+46f, 0x1.c45a08p+3f},
    {0x1.11e20ap+47f, 0x1.c5bp+3f},      {0x1.14a46cp+47f, 0x1.c5d3acp+3f},
    {0x1.6be802p+47f, 0x1.c9a31ap+3f},   {0x1.bcc4d6p+47f, 0x1.cc6cfep+3f},
    {0x1.4f4796p+48f, 0x1.d221a6p+3f},   {0x1.aee168p+48f, 0x1.d59e2ap+3f},
    {0x1.750f98p+49f, 0x1.dd3f92p+3f},   {0x1.de95f6p+49f, 0x1.e0b5c6p+3f},
    {0x1.d2537ep+52f, 0x1.fd3f92p+3f},   {0x1.d2916p+52f, 0x1.fd4168p+3f},
    {0x1.5a18dcp+55f, 0x1.0b0072p+4f},   {0x1.93a9fcp+55f, 0x1.0c1224p+4f},
    {0x1.a01b0cp+55f, 0x1.0c4826p+4f},   {0x1.074ea8p+56f, 0x1.0deb1ep+4f},
    {0x1.4c9e7ap+56f, 0x1.0f8accp+4f},   {0x1.4ba008p+57f, 0x1.14567ep+4f},
    {0x1.c9b2f8p+57f, 0x1.1693aap+4f},   {0x1.8f1fdp+58f, 0x1.1a7114p+4f},
    {0x1.492252p+59f, 0x1.1deb1ep+4f},   {0x1.c21fd2p+59f, 0x1.201802p+4f},
    {0x1.9e880ap+60f, 0x1.24567ep+4f},   {0x1.486112p+61f, 0x1.278914p+4f},
    {0x1.f2e7c4p+61f, 0x1.2a7114p+4f},   {0x1.c87d8ep+62f, 0x1.2ea40cp+4f},
    {0x1.662b46p+63f, 0x1.31c596p+4f},   {0x1.83ad1ap+64f, 0x1.37236ep+4f},
    {0x1.9be058p+65f, 0x1.3c6028p+4f},   {0x1.f7c756p+65f, 0x1.3dc672p+4f},
    {0x1.00f97cp+66f, 0x1.3deap+4f},     {0x1.0acfc8p+67f, 0x1.42fdd8p+4f},
    {0x1.f29caep+68f, 0x1.4c272cp+4f},   {0x1.d50bcap+69f, 0x1.508b72p+4f},
    {0x1.4d83bap+70f, 0x1.52fdd8p+4f},   {0x1.0f3018p+71f, 0x1.565edcp+4f},
    {0x1.011fc8p+72f, 0x1.5ad128p+4f},   {0x1.0cfb78p+72f, 0x1.5b215ap+4f},
    {0x1.7e892ap+72f, 0x1.5d93d4p+4f},   {0x1.9c5e6cp+72f, 0x1.5e196ap+4f},
    {0x1.f8198cp+72f, 0x1.5f7eb6p+4f},   {0x1.52fc1ep+74f, 0x1.665edcp+4f},
    {0x1.841852p+74f, 0x1.674f8ap+4f},   {0x1.4167bap+75f, 0x1.6ad128p+4f},
    {0x1.503a56p+75f, 0x1.6b215ap+4f},   {0x1.aa516p+75f, 0x1.6cc7a8p+4f},
    {0x1.e2d446p+75f, 0x1.6da514p+4f},   {0x1.207a4ap+76f, 0x1.6ee1e8p+4f},
    {0x1.2f575ep+77f, 0x1.740c4ap+4f},   {0x1.10de72p+78f, 0x1.7820fep+4f},
    {0x1.0a72dcp+79f, 0x1.7cc7a8p+4f},   {0x1.1cf04ap+80f, 0x1.821004p+4f},
    {0x1.35b6b6p+80f, 0x1.82a454p+4f},   {0x1.ffbc0ep+80f, 0x1.86219cp+4f},
    {0x1.37c082p+81f, 0x1.878106p+4f},   {0x1.bd7ee2p+82f, 0x1.8ecd0ep+4f},
    {0x1.a8a8b4p+84f, 0x1.9819e2p+4f},   {0x1.49cf06p+85f, 0x1.9b2942p+4f},
    {0x1.b037eap+85f, 0x1.9d0a4ap+4f},   {0x1.c3197ep+86f, 0x1.a2275ep+4f},
    {0x1.8b5e0ap+88f, 0x1.aaded4p+4f},   {0x1.bb3b9ap+88f, 0x1.abaa1ep+4f},
    {0x1.bc3d88p+88f, 0x1.abae26p+4f},   {0x1.031896p+90f, 0x1.b19114p+4f},
    {0x1.4c3426p+91f, 0x1.b81c3ep+4f},   {0x1.06ec2cp+92f, 0x1.bb4d34p+4f},
    {0x1.51441ap+92f, 0x1.bd0828p+4f},   {0x1.a2610ep+92f, 0x1.be878ap+4f},
    {0x1.b25878p+95f, 0x1.cd3d38p+4f},   {0x1.c41b9p+95f, 0x1.cd8482p+4f},
    {0x1.f27ab6p+96f, 0x1.d3033ap+4f},   {0x1.2feabep+97f, 0x1.d4640cp+4f},
    {0x1.75c22cp+97f, 0x1.d5d402p+4f},   {0x1.ffc8bp+97f, 0x1.d8031ap+4f},
    {0x1.e9b22cp+98f, 0x1.dc85a4p+4f},   {0x1.1a913ap+99f, 0x1.dd8482p+4f},
    {0x1.202d4ap+99f, 0x1.dda77ap+4f},   {0x1.c7ac2cp+99f, 0x1.e0d68ep+4f},
    {0x1.eec296p+99f, 0x1.e168f4p+4f},   {0x1.63a57ep+100f, 0x1.e3eeb6p+4f},
    {0x1.3fdd6ep+101f, 0x1.e8031ap+4f},  {0x1.e03b08p+101f, 0x1.ead5fap+4f},
    {0x1.34cafep+104f, 0x1.f6377cp+4f},  {0x1.69508ep+104f, 0x1.f74eeap+4f},
    {0x1.9641acp+104f, 0x1.f81f74p+4f},  {0x1.e5d5b2p+104f, 0x1.f95daap+4f},
    {0x1.1b87b4p+105f, 0x1.fa70aep+4f},  {0x1.62eaecp+105f, 0x1.fc0028p+4f},
    {0x1.dd683ap+105f, 0x1.fe0f8ep+4f},  {0x1.fc54cep+105f, 0x1.fe7f36p+4f},
    {0x1.7f6412p+106f, 0x1.00ad38p+5f},  {0x1.f527cap+109f, 0x1.08d4fep+5f},
    {0x1.554134p+110f, 0x1.09e7b6p+5f},  {0x1.986f8p+110f, 0x1.0a878cp+5f},
    {0x1.2e263p+111f, 0x1.0be3f8p+5f},   {0x1.1b60b2p+112f, 0x1.0e136ep+5f},
    {0x1.71143ep+112f, 0x1.0efe7p+5f},   {0x1.fe8b6p+113f, 0x1.12878cp+5f},
    {0x1.79afbcp+114f, 0x1.13e3f8p+5f},  {0x1.1f766ap+115f, 0x1.1559aep+5f},
    {0x1.4d92acp+115f, 0x1.15dep+5f},    {0x1.5f6924p+116f, 0x1.1874dap+5f},
    {0x1.3f171cp+117f, 0x1.1a878cp+5f},  {0x1.69dd2ap+120f, 0x1.2230f6p+5f},
    {0x1.65af84p+121f, 0x1.248f22p+5f},  {0x1.d41828p+122f, 0x1.27e6ecp+5f},
    {0x1.b28d2cp+123f, 0x1.2a0d4ap+5f},  {0x1.4ef046p+124f, 0x1.2b8e38p+5f},
    {0x1.c6c5cep+127f, 0x1.33d7cap+5f},
};

constexpr HardCase kPow10Cases[] = {
    {-0x1.ffa768p+4f, 0x1.b49856p-107f}, {-0x1.4de862p+3f, 0x1.435996p-35f},
    {-0x1.5b45bp+2f, 0x1.f721a8p-19f},   {-0x1.7641e4p+1f, 0x1.385beap-10f},
    {-0x1.6f71bp+1f, 0x1.611686p-10f},   {-0x1.10676p+1f, 0x1.e7e4c6p-8f},
    {-0x1.e473d8p-1f, 0x1.cf9f1ep-4f},   {-0x1.c20872p-1f, 0x1.0e9eap-3f},
    {-0x1.46110cp-1f, 0x1.d89618p-3f},   {-0x1.cbff78p-3f, 0x1.314112p-1f},
    {-0x1.74ffa4p-3f, 0x1.509f16p-1f},   {-0x1.94685ap-4f, 0x1.97e288p-1f},
    {-0x1.833d3ap-4f, 0x1.9bd73p-1f},    {-0x1.fb827p-5f, 0x1.bbef08p-1f},
    {-0x1.c303eep-5f, 0x1.c30a1p-1f},    {-0x1.9eddd6p-6f, 0x1.e30066p-1f},
    {-0x1.33abd8p-6f, 0x1.ea5544p-1f},   {-0x1.3bab28p-8f, 0x1.fa5a52p-1f},
    {-0x1.c54fe4p-9f, 0x1.fbf05ap-1f},   {-0x1.46708cp-9f, 0x1.fd127ep-1f},
    {-0x1.321aeap-9f, 0x1.fd411p-1f},    {-0x1.12b788p-9f, 0x1.fd88f8p-1f},
    {-0x1.898cb8p-10f, 0x1.fe3bbp-1f},   {-0x1.5894ap-10f, 0x1.fe73e4p-1f},
    {-0x1.5606b2p-11f, 0x1.ff3b42p-1f},  {-0x1.1bce16p-11f, 0x1.ff5cbap-1f},
    {-0x1.13bbc8p-11f, 0x1.ff616p-1f},   {-0x1.bbf866p-12f, 0x1.ff8048p-1f},
    {-0x1.48bc7ep-14f, 0x1.ffe85ap-1f},  {-0x1.2d9694p-14f, 0x1.ffea4ep-1f},
    {-0x1.0b7da2p-14f, 0x1.ffeccp-1f},   {-0x1.9f88f2p-15f, 0x1.fff10cp-1f},
    {-0x1.8f07a8p-15f, 0x1.fff1a6p-1f},  {-0x1.849b1p-15f, 0x1.fff204p-1f},
    {-0x1.2a7b2ap-15f, 0x1.fff544p-1f},  {-0x1.a8f834p-16f, 0x1.fff85ap-1f},
    {-0x1.a2e39ap-16f, 0x1.fff876p-1f},  {-0x1.90a5cep-16f, 0x1.fff8cap-1f},
    {-0x1.e21224p-18f, 0x1.fffdd4p-1f},  {-0x1.85ffc2p-18f, 0x1.fffe4p-1f},
    {-0x1.7d5024p-18f, 0x1.fffe4ap-1f},  {-0x1.3b4cacp-18f, 0x1.fffe94p-1f},
    {-0x1.59b30ep-19f, 0x1.ffff3ap-1f},  {-0x1.221c04p-19f, 0x1.ffff58p-1f},
    {-0x1.143642p-19f, 0x1.ffff62p-1f},  {-0x1.d1906cp-21f, 0x1.ffffbep-1f},
    {-0x1.8c13bp-21f, 0x1.ffffc6p-1f},   {-0x1.704832p-21f, 0x1.ffffcap-1f},
    {-0x1.547cb4p-21f, 0x1.ffffdp-1f},   {-0x1.930684p-22f, 0x1.ffffe4p-1f},
    {-0x1.080d16p-22f, 0x1.ffffeep-1f},  {-0x1.d88334p-23f, 0x1.fffffp-1f},
    {-0x1.a0ec3cp-23f, 0x1.fffff2p-1f},  {-0x1.f44eacp-24f, 0x1.fffff6p-1f},
    {-0x1.8520bep-24f, 0x1.fffff8p-1f},  {-0x1.15f2dp-24f, 0x1.fffffcp-1f},
    {-0x1.4d89c6p-25f, 0x1.fffffcp-1f},  {-0x1.bcb7b8p-27f, 0x1.fffffep-1f},
    {-0x1.bcb7b6p-27f, 0x1.fffffep-1f},  {-0x1.bcb7b4p-27f, 0x1.fffffep-1f},
    {-0x1.bcb7b2p-27f, 0x1.fffffep-1f},  {-0x1.bcb7bp-27f, 0x1p+0f},
    {-0x1.bcb7aep-27f, 0x1p+0f},         {-0x1.bcb7acp-27f, 0x1p+0f},
    {0x1.bcb7aep-26f, 0x1p+0f},          {0x1.bcb7bp-26f, 0x1p+0f},
    {0x1.bcb7b2p-26f, 0x1.000002p+0f},   {0x1.15f2ccp-23f, 0x1.000004p+0f},
    {0x1.8520b6p-23f, 0x1.000008p+0f},   {0x1.a0ec2ap-22f, 0x1.00000ep+0f},
    {0x1.2acb52p-20f, 0x1.00002ap+0f},   {0x1.62623ep-20f, 0x1.000032p+0f},
    {0x1.e5887cp-17f, 0x1.00023p+0f},    {0x1.0de76ep-15f, 0x1.0004dap+0f},
    {0x1.c26a9p-14f, 0x1.001036p+0f},    {0x1.03ca62p-11f, 0x1.004adp+0f},
    {0x1.617fcp-11f, 0x1.0065d4p+0f},    {0x1.51e6d4p-10f, 0x1.00c2ccp+0f},
    {0x1.36e6dp-9f, 0x1.0166eap+0f},     {0x1.19b11ep-8f, 0x1.028bd8p+0f},
    {0x1.3152fcp-7f, 0x1.058d44p+0f},    {0x1.2930ccp-5f, 0x1.164d9ap+0f},
    {0x1.ae241cp-5f, 0x1.20e66p+0f},     {0x1.dedf1ap-4f, 0x1.4f152ap+0f},
    {0x1.69f912p-3f, 0x1.8094p+0f},      {0x1.cf1696p-2f, 0x1.6a9d2ep+1f},
    {0x1.9e07c6p+1f, 0x1.ad1804p+10f},   {0x1.c72e08p+1f, 0x1.c1c84p+11f},
    {0x1.5fd8c6p+3f, 0x1.7071b6p+36f},   {0x1.fafecp+3f, 0x1.8c880cp+52f},
    {0x1.1e7044p+4f, 0x1.62b6e4p+59f},
};

}  // namespace

std::span<const HardCase> log10HardCases() {
  return kLog10Cases;
}
std::span<const HardCase> pow10HardCases() {
  return kPow10Cases;
}

double log10Double(float x) {
  return std::log10(static_cast<double>(x));
}
double pow10Double(float x) {
  return std::pow(10.0, static_cast<double>(x));
}

float roundOnce(float x, double y, std::span<const HardCase> cases) {
  if (mayBeNearMidpoint(y)) {
    const auto hit = std::lower_bound(cases.begin(), cases.end(), x,
                                      [](const HardCase& c, float v) { return c.x < v; });
    if (hit != cases.end() && hit->x == x) return hit->result;
  }
  return toFloat(y);
}

}  // namespace roundedmath

float roundedLog10(float x) {
  // Zero, negative, infinite and NaN arguments keep the library's answers.
  if (!(x > 0.0f) || !std::isfinite(x)) return std::log10(x);
  return roundedmath::roundOnce(x, roundedmath::log10Double(x), roundedmath::log10HardCases());
}

float roundedPow10(float x) {
  return roundedmath::roundOnce(x, roundedmath::pow10Double(x), roundedmath::pow10HardCases());
}

}  // namespace tcsum
