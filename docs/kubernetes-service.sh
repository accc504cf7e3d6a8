#!/usr/bin/env bash
# The conversion service on Kubernetes: a Deployment of the container image (packaging/Containerfile) with
# readiness and liveness probes on /health, a Service in front of it, and a HorizontalPodAutoscaler. kubectl's own
# generators make the objects (no cluster needed to make them); the probes, resources and grace period are added
# to the pod it generates. /health answers 503 while no office of the pod can convert and from SIGTERM on, so a pod
# being replaced stops getting requests while it finishes those in hand.
#
# Usage: docs/kubernetes-service.sh            applies the objects to the cluster kubectl points at
#        PRINT=1 docs/kubernetes-service.sh    prints them (JSON) and the autoscaler's command instead
#        IMAGE=registry/quillon-converter:1.0  the image (quillon-converter:latest)
set -euo pipefail
image=${IMAGE:-quillon-converter:latest}
name=quillon-converter
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

kubectl create deployment "$name" --image="$image" --replicas=2 --port=3000 --dry-run=client -o json -- \
    /usr/bin/vorlane --serve --listen 0.0.0.0 --port 3000 --jobs 2 --queue 8 --timeout 120 --drain 90 \
    >"$work/generated.json"
kubectl create service clusterip "$name" --tcp=80:3000 --dry-run=client -o json >"$work/service.json"

# The pod generated above, found by what it holds (its template, its containers), given what kubectl's generator
# has no flags for.
/usr/bin/env python3 - "$work/generated.json" "$work/deployment.json" <<'PY'
import json, sys
deployment = json.load(open(sys.argv[1]))
def holding(obj, key):
    return next(v for v in obj.values() if isinstance(v, dict) and key in v)
pod = holding(holding(deployment, "template")["template"], "containers")
# Room for the requests in hand to finish after SIGTERM (--drain 90) before the pod is killed.
pod["terminationGracePeriodSeconds"] = 120
health = {"httpGet": {"path": "/health", "port": 3000}}
container = pod["containers"][0]
container["readinessProbe"] = dict(health, periodSeconds=5, failureThreshold=2)
container["livenessProbe"] = dict(health, initialDelaySeconds=30, periodSeconds=20, failureThreshold=6)
# Two offices, about 300 MB each at work; more for decks of many pictures.
container["resources"] = {"requests": {"cpu": "2", "memory": "1Gi"}, "limits": {"memory": "3Gi"}}
json.dump(deployment, open(sys.argv[2], "w"), indent=2)
PY

autoscale=(kubectl autoscale deployment "$name" --min=2 --max=10 --cpu-percent=70)
if [ "${PRINT:-0}" = 1 ]; then
    cat "$work/deployment.json" "$work/service.json"
    echo "${autoscale[*]}"
else
    kubectl apply -f "$work/deployment.json" -f "$work/service.json"
    "${autoscale[@]}"
fi
